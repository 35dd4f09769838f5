#include "core/app_settings.h"

#include <QMutexLocker>

#include "protocol/random_id.h"
#include "protocol/text.h"

namespace tollix {

bool AppSettings::IsNewTunnel(const std::string& host, std::int32_t id,
                              const std::string& subnet) const {
    if (host.empty() || id == 0) {
        return false;
    }
    QMutexLocker lock(&tunnelsLock);
    for (std::size_t i = 0; i < tunnels.size(); ++i) {
        const TunnelEntry& entry = *tunnels[i];
        if (entry.tunHost.empty()) {
            continue;
        }
        if (EqualsIgnoreCase(entry.tunHost, host) || (entry.tunId != 0 && entry.tunId == id) ||
            (!entry.tunSubnet.empty() && EqualsIgnoreCase(entry.tunSubnet, subnet))) {
            return false;
        }
    }
    return true;
}

std::shared_ptr<TunnelEntry> AppSettings::MakeTunnelEntry(const std::string& host) {
    return std::make_shared<TunnelEntry>(TunnelEntry{host, {}, RandomId()});
}

std::size_t AppSettings::TunnelCount() const {
    QMutexLocker lock(&tunnelsLock);
    return tunnels.size();
}

}  // namespace tollix
