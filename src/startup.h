#pragma once

#include <QString>

class QCoreApplication;
class QQmlEngine;

// Process start-up shared by the application and the start-up tests: identity, style selection,
// QML type registration, the copypasta model, loading the main document and the event loop.
namespace Startup {
extern const char *const organizationDomain;
extern const char *const applicationName;
// The project version from the build, shown by --version and the About page and sent in the User-Agent.
extern const char *const applicationVersion;

void setIdentity(QCoreApplication &application);
void registerTypes();
// Removes the settings lock files that a killed process left without an owner; needs the identity.
void releaseOrphanedLocks();
// Has the engine fetch pictures through a manager that refuses decompression bombs.
void guardPictures(QQmlEngine &engine);

// Runs the whole start-up and the event loop; -1 when the main document yields no root object.
int run(int argc, char **argv, const QString &mainDocument);
} // namespace Startup
