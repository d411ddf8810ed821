#include "no_settings.h"

#include <QSettings>

namespace kestrel {

void KeepNoToolkitSettings() {
    const QString nowhere = QStringLiteral("/dev/null/kestrel-keeps-no-settings");
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope}) {
            QSettings::setPath(format, scope, nowhere);
        }
    }
}

} // namespace kestrel
