#pragma once
// Received bytes waiting to be read as text lines. Pure data, no I/O: the timed socket feeds
// it and takes lines out. One owner, one thread.

#include <cstddef>
#include <string>

class CLineBuffer
{
public:
    // A line longer than this is handed out in pieces of this size (the last piece ends at the
    // line end), so a peer that never sends a line end cannot make the buffer grow without bound.
    static constexpr size_t kLongLineCut = 65000;

    void append(const char* data, size_t length);

    // The next line without its "\n" and one "\r" before it; false when no complete line (and
    // no over-long piece) is buffered.
    bool takeLine(std::string& line);

    // Everything buffered, as one text; the buffer is emptied.
    void takeAll(std::string& text);

    bool empty() const { return m_data.size() == m_pos; }
    size_t size() const { return m_data.size() - m_pos; }
    void clear();

private:
    std::string m_data;
    size_t m_pos = 0;      // start of the unread bytes
    size_t m_scanned = 0;  // unread bytes already known to hold no "\n"
};
