#pragma once

// The attachment record classes the attachment messages carry. Set to 1 once
// STemplateAttachment and STemplateAttachmentData are in common/ (and remove
// PendingTemplateAttachment.h); until then a stand-in with the same names, fields and
// stream forms is used.
#define ZAM_HAVE_SHARED_ATTACHMENT_RECORDS 0

#if ZAM_HAVE_SHARED_ATTACHMENT_RECORDS
#include "common/STemplateAttachment.h"
#else
#include "PendingTemplateAttachment.h"
#endif
