#pragma once
#include <QExplicitlySharedDataPointer>

class CAgentAgentLink;
using CAgentAgentLinkPtr = QExplicitlySharedDataPointer<CAgentAgentLink>;
