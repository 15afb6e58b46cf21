#include "ndcp/NetworkSetting.h"

NDCPNetworkSetting& NetworkSetting() {
    static NDCPNetworkSetting setting;
    return setting;
}
