#include "door/lines.h"

std::vector<std::string> SplitLines(const std::string& AText) {
    std::vector<std::string> lines;
    TLineSplitter splitter;
    bool open = false; // a line has begun that has not ended
    for (char c : AText) {
        switch (splitter.Take(c)) {
        case TLineSplitter::TStep::Skip: continue;
        case TLineSplitter::TStep::LineEnd:
            if (!open) lines.emplace_back();
            open = false;
            continue;
        case TLineSplitter::TStep::Byte:
            if (!open) lines.emplace_back();
            open = true;
            lines.back() += c;
        }
    }
    return lines;
}
