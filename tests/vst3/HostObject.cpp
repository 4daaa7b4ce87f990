#include "HostObject.h"

#include <gtest/gtest.h>

void ReportUnbalancedReferences(const char* label, uint32_t pluginReferences, bool overReleased) {
    if (overReleased)
        ADD_FAILURE() << "the plug-in released the " << label << " more often than it took it";
    else
        ADD_FAILURE() << "the plug-in still holds " << pluginReferences << " references to the "
                      << label;
}
