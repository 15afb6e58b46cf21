#include "ndcp/OvNDCPDevice.h"

OvNDCPDevice& DefaultDevice() {
    static OvNDCPDevice device;
    return device;
}
