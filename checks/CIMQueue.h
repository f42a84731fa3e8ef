#pragma once
// Short notification texts queued by id and joined, up to five at a time, into one message for
// a pair of addressing keys; then the ids of that message are marked sent or failed (a failed
// id keeps the reason it failed with first).
// Threads: none of its own and no lock; its owner uses it from one thread at a time.
// Ownership: keeps its own copies of every text.

#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

class CIMQueue
{
public:
    // Entries joined into one message at most.
    static constexpr int kMaxComposed = 5;
    // Size of the buffer removeFromFailed copies a reason into, terminator included.
    static constexpr size_t kReasonSize = 128;

    void addToQueue(int id, const char* firstKey, const char* secondKey, const char* text);
    // Takes up to five entries of the key pair from the front, in order, into a new message
    // (each text then "\n"). The composed ids are those of this message only.
    void composeMessage(const char* firstKey, const char* secondKey);
    // The composed message; null until a composition took an entry.
    const char* composedMessage() const { return m_message ? m_message->c_str() : nullptr; }
    const std::vector<int>& composedIds() const { return m_composed; }

    void moveComposedToSent();
    // A null or empty reason is kept as none.
    void moveComposedToFailed(const char* reason);

    bool isInQueue(int id) const;
    // Removes the first sent entry of the id; false when there is none.
    bool removeFromSent(int id);
    // False when the id did not fail. Else removes it and, when it has a reason, copies it into
    // reasonOut (kReasonSize bytes, cut on a whole UTF-8 character).
    bool removeFromFailed(int id, char* reasonOut);

private:
    struct Entry {
        int id;
        std::string firstKey;
        std::string secondKey;
        std::string text;
    };
    std::list<Entry> m_queue;
    std::vector<int> m_composed;
    std::vector<int> m_sent;
    std::map<int, std::optional<std::string>> m_failed;
    std::optional<std::string> m_message;
};
