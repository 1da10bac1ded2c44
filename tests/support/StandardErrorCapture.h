#pragma once

#include <QByteArray>
#include <QTemporaryFile>

// Sends this process's standard error to a temporary file for the lifetime of the object, so a
// test can read what the platform log wrote.
class StandardErrorCapture
{
public:
    StandardErrorCapture();
    ~StandardErrorCapture();
    StandardErrorCapture(const StandardErrorCapture &) = delete;
    StandardErrorCapture &operator=(const StandardErrorCapture &) = delete;

    QByteArray captured();

private:
    QTemporaryFile m_file;
    int m_savedDescriptor = -1;
};
