// Text files split into lines: a line ends at CR, LF or CR LF, as in any text file a sysop may
// have edited on any system. Drop files, the configuration, file display and tools/ansiview all
// split their lines here.
#pragma once

#include <string>
#include <vector>

// Splits a stream of bytes into lines, one byte at a time, across reads.
class TLineSplitter {
  public:
    enum class TStep {
        Byte,    // a byte of the current line
        LineEnd, // the current line ends here
        Skip,    // the LF of a CR LF: the line already ended at the CR
    };

    TStep Take(char AByte) {
        const bool afterCR = FAfterCR;
        FAfterCR = AByte == '\r';
        if (AByte == '\n' && afterCR) return TStep::Skip;
        if (AByte == '\r' || AByte == '\n') return TStep::LineEnd;
        return TStep::Byte;
    }

  private:
    bool FAfterCR = false;
};

// The lines of a whole text without their line ends; a line end at the very end starts no
// further line ("a\r\n" is one line, "a\n\n" two, the second empty).
std::vector<std::string> SplitLines(const std::string& AText);
