#pragma once

#include "CAgentMessage.h"

#include <QString>

// Makes the message of a frame's type from one complete frame (13-byte header and
// body). Returns null with the reason in errorText when the type is unknown, the
// frame is short or the body is malformed. wide (mode bit 0) reaches only type 25.
CAgentMessagePtr decodeAgentMessage(const char* frame, int frameSize, QString& errorText, bool wide);

// A new message of the class for a header's type, with the catalogue's defaults, or
// null for a type outside 1..36.
CAgentMessage* createAgentMessage(const AgentMessageHeader& header);
