#pragma once
// Splits the received byte stream into lines. CR, LF or CR LF ends a line; text without its line end
// waits for more bytes. A pending line that grows past the limit is handed out once as an overlong
// fragment and the rest of that line is dropped, so a device that never sends a line end cannot make
// the buffer grow without bound.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class LineFramer {
public:
    static constexpr std::size_t kMaxLine = 4096;

    enum class Piece { Line, Overlong };
    using Sink = std::function<void(Piece, std::string_view)>;

    // Feeds received bytes; calls sink for every complete line (empty lines included, in order) and for
    // the first kMaxLine bytes of a line that exceeds the limit.
    void Feed(std::string_view bytes, const Sink& sink);

    // Hands out what is pending without a line end (as a Line) and forgets it.
    void Flush(const Sink& sink);

    void Reset();
    std::size_t PendingSize() const { return pending_.size(); }

private:
    std::string pending_;
    bool dropping_ = false; // inside an overlong line: skip bytes up to its end
};
