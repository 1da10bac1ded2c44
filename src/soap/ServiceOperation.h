// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

namespace pondrel {

// How one parameter of a service operation travels. Values (texts, arrays, dictionaries) go as
// the caller gives them; scalars are first made numbers of their declared kind, which the engine
// writes in decimal (booleans as 1 or 0). The service key is a value whose element name is a
// deployment setting.
enum class ParameterKind { ServiceKey, Value, Boolean, Integer, UnsignedInteger, LongInteger };

struct OperationParameter
{
    QString name;
    ParameterKind kind;
};

struct ServiceOperation
{
    QString name;
    QList<OperationParameter> parameters;
};

QString parameterKindName(ParameterKind kind);

// The argument type of a parameter in the generated operation methods. Every argument may be
// missing (an invalid QVariant, an empty optional): the parameter list ends there.
template <ParameterKind> struct ArgumentTypeOf
{
    using type = QVariant;
};
template <> struct ArgumentTypeOf<ParameterKind::Boolean>
{
    using type = std::optional<bool>;
};
template <> struct ArgumentTypeOf<ParameterKind::Integer>
{
    using type = std::optional<qint32>;
};
template <> struct ArgumentTypeOf<ParameterKind::UnsignedInteger>
{
    using type = std::optional<quint32>;
};
template <> struct ArgumentTypeOf<ParameterKind::LongInteger>
{
    using type = std::optional<qint64>;
};

inline QVariant argumentValue(const QVariant &value)
{
    return value;
}

template <typename Scalar> QVariant argumentValue(const std::optional<Scalar> &value)
{
    return value ? QVariant::fromValue(*value) : QVariant();
}

} // namespace pondrel
