# Installs the build into a scratch folder and checks that the program, the
# files beside it, the bin link, the desktop entry and the icon are in place.
set(stage "${BUILD_DIR}/install-layout-check")
file(REMOVE_RECURSE "${stage}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /opt/quorvid
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(root "${stage}/opt/quorvid")
foreach(expected lib/quorvid/quorvid lib/quorvid/quorvid-extractor lib/quorvid/x/o.cjs share/applications/quorvid.desktop
                 share/icons/hicolor/256x256/apps/quorvid.png)
  if(NOT EXISTS "${root}/${expected}")
    message(FATAL_ERROR "missing after install: ${expected}")
  endif()
endforeach()
if(NOT IS_SYMLINK "${root}/bin/quorvid")
  message(FATAL_ERROR "bin/quorvid is not a link")
endif()
file(READ_SYMLINK "${root}/bin/quorvid" target)
if(NOT target STREQUAL "../lib/quorvid/quorvid")
  message(FATAL_ERROR "bin/quorvid points to ${target}")
endif()
file(REMOVE_RECURSE "${stage}")
