#pragma once
// A scripted line-protocol peer for LoopbackServer: sends a greeting, then answers each line it
// receives with the next reply of its list, and records every line it got. The line that finds
// the replies used up is recorded and the peer closes (a reply that never comes). Read lines()
// only after the server was destroyed (its thread joined).

#include "LoopbackServer.h"

#include <memory>
#include <string>
#include <vector>

class LineDialogue
{
public:
    LineDialogue(std::string greeting, std::vector<std::string> replies)
        : m_greeting(std::move(greeting)), m_replies(std::move(replies)),
          m_lines(std::make_shared<std::vector<std::string>>())
    {
    }

    LoopbackServer::Script script() const
    {
        auto lines = m_lines;
        const std::string greeting = m_greeting;
        const std::vector<std::string> replies = m_replies;
        return [lines, greeting, replies](int fd) {
            if (!greeting.empty() && !LoopbackServer::sendAll(fd, greeting))
                return;
            size_t next = 0;
            for (;;) {
                const std::string line = LoopbackServer::readLine(fd);
                if (line.empty())
                    return;
                lines->push_back(line);
                if (next >= replies.size() || !LoopbackServer::sendAll(fd, replies[next++]))
                    return;
            }
        };
    }

    const std::vector<std::string>& lines() const { return *m_lines; }

private:
    std::string m_greeting;
    std::vector<std::string> m_replies;
    std::shared_ptr<std::vector<std::string>> m_lines;
};
