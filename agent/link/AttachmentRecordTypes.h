#pragma once

// The attachment record classes the attachment messages carry.
#include "common/TemplateAttachment.h"
