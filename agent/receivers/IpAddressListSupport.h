#pragma once

// The trap and syslog filters embed the shared IP address-list entry (CIpAddressRange,
// common/IpAddressList.h). Set to 1 once that entry is in common/; until then the
// filters are left out and subscriptions that carry filters are refused.
#define ZAM_HAVE_IP_ADDRESS_LIST 0
