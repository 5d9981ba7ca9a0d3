#include "config/slot_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace tallowick {

namespace {

// Set once by main() before anything reads it, and only read after.
SlotPlace chosenPlace = SlotPlace::BesideProgram;

} // namespace

void setSlotPlace(SlotPlace place)
{
    chosenPlace = place;
}

SlotPlace builtInSlotPlace()
{
    return chosenPlace;
}

QString slotFolder(SlotPlace place)
{
    if (place == SlotPlace::ConfigHome) {
        // Follows XDG_CONFIG_HOME, and ~/.config when it is unset or relative.
        return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
            .filePath(QStringLiteral("tallowick"));
    }
    // QCoreApplication::applicationDirPath() reads the same link, but needs an
    // application object, which --help answers without.
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

} // namespace tallowick
