#include "StandardErrorCapture.h"

#include <unistd.h>

StandardErrorCapture::StandardErrorCapture()
{
    m_file.open();
    m_savedDescriptor = ::dup(STDERR_FILENO);
    ::dup2(m_file.handle(), STDERR_FILENO);
}

StandardErrorCapture::~StandardErrorCapture()
{
    ::dup2(m_savedDescriptor, STDERR_FILENO);
    ::close(m_savedDescriptor);
}

QByteArray StandardErrorCapture::captured()
{
    m_file.seek(0);
    return m_file.readAll();
}
