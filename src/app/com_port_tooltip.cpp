#include "com_port_tooltip.h"

#include "port_mapping.h"

namespace quorvel {

QString ComPortToolTip(int16_t portNumber) {
    if (portNumber <= 0) return QStringLiteral("No COM port selected");
    const PortTarget target{portNumber, {}};
    const QString name = QString::fromStdString(targetName(target));
    const std::optional<std::string> device = deviceForTarget(target);
    if (!device) return name + QStringLiteral(": no serial device");
    return name + QStringLiteral(": ") + QString::fromStdString(*device);
}

}  // namespace quorvel
