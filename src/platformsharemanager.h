#pragma once

#include <QString>

// What a platform with a share facility implements to offer a saved picture to the user.
class PlatformShareManager {
public:
    virtual void share(QString path) = 0;

protected:
    ~PlatformShareManager() = default;
};
