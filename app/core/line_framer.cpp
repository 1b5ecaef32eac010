#include "app/core/line_framer.h"

void LineFramer::Feed(std::string_view bytes, const Sink& sink) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') continue;
        if (dropping_) {
            dropping_ = false;
        } else {
            std::string_view line = bytes.substr(start, i - start);
            if (!pending_.empty()) {
                pending_.append(line);
                line = pending_;
            }
            if (line.size() > kMaxLine)
                sink(Piece::Overlong, line.substr(0, kMaxLine));
            else
                sink(Piece::Line, line);
            pending_.clear();
        }
        start = i + 1;
    }
    if (dropping_ || start >= bytes.size()) return;
    pending_.append(bytes.substr(start));
    if (pending_.size() > kMaxLine) {
        sink(Piece::Overlong, std::string_view(pending_).substr(0, kMaxLine));
        pending_.clear();
        dropping_ = true;
    }
}

void LineFramer::Flush(const Sink& sink) {
    if (!pending_.empty()) sink(Piece::Line, pending_);
    Reset();
}

void LineFramer::Reset() {
    pending_.clear();
    dropping_ = false;
}
