#include "platform/services.h"

PlatformServices& Services() {
    static PlatformServices services;
    return services;
}

CScopedServices::CScopedServices(const PlatformServices& services) : m_previous(Services()) {
    Services() = services;
}

CScopedServices::~CScopedServices() {
    Services() = m_previous;
}
