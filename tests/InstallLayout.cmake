# Installs the build into a scratch folder and checks that the programs, the
# files beside them, the bin links, the desktop entry, the icon and the manual
# page are in place, and that the companion program loads no GUI library.
set(stage "${BUILD_DIR}/install-layout-check")
file(REMOVE_RECURSE "${stage}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix /opt/quorvid
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(root "${stage}/opt/quorvid")
foreach(expected lib/quorvid/quorvid lib/quorvid/quorvid-extractor lib/quorvid/quorvid-batch
                 lib/quorvid/x/o.cjs share/applications/quorvid.desktop
                 share/icons/hicolor/256x256/apps/quorvid.png share/man/man1/quorvid-batch.1)
  if(NOT EXISTS "${root}/${expected}")
    message(FATAL_ERROR "missing after install: ${expected}")
  endif()
endforeach()
foreach(program quorvid quorvid-batch)
  if(NOT IS_SYMLINK "${root}/bin/${program}")
    message(FATAL_ERROR "bin/${program} is not a link")
  endif()
  file(READ_SYMLINK "${root}/bin/${program}" target)
  if(NOT target STREQUAL "../lib/quorvid/${program}")
    message(FATAL_ERROR "bin/${program} points to ${target}")
  endif()
endforeach()
execute_process(COMMAND ldd "${root}/lib/quorvid/quorvid-batch"
  OUTPUT_VARIABLE libraries RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT libraries MATCHES "libQt6Core")
  message(FATAL_ERROR "ldd quorvid-batch failed: ${result}")
endif()
if(libraries MATCHES "libQt6(Gui|Widgets)")
  message(FATAL_ERROR "quorvid-batch loads a GUI library:\n${libraries}")
endif()
file(REMOVE_RECURSE "${stage}")
