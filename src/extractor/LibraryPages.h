#pragma once

#include <cstddef>
#include <vector>

namespace quorvid {

// The pages of the libraries' code and read-only data. A forked reader has none
// of them in its page tables and would fault them in one by one as the library
// runs; populating each mapping in one call is cheaper, and a reader forked
// ahead does it before its file arrives. Where the kernel refuses (before
// Linux 5.14) the reader faults them in as before.
class LibraryPages {
  public:
    // The mappings of this process now: made in the helper, used in readers.
    static LibraryPages OfThisProcess();

    void Populate() const;

  private:
    struct Range {
        char* start;
        std::size_t length;
    };
    std::vector<Range> ranges_;
};

}  // namespace quorvid
