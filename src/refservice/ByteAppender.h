// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>

#include <pugixml.hpp>

namespace pondrel::refservice {

// Lets pugixml write what it saves or prints straight onto the end of a byte buffer.
class ByteAppender : public pugi::xml_writer
{
public:
    explicit ByteAppender(QByteArray &bytes)
        : m_bytes(bytes)
    { }
    void write(const void *data, size_t size) override
    {
        m_bytes.append(static_cast<const char *>(data), qsizetype(size));
    }

private:
    QByteArray &m_bytes;
};

} // namespace pondrel::refservice
