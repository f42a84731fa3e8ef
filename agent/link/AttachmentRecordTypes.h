#pragma once

// The attachment record classes the attachment messages carry.
#if __has_include("common/STemplateAttachment.h")
#include "common/STemplateAttachment.h"
#else
#include "PendingTemplateAttachment.h"
#endif
