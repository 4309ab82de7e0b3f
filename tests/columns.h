#pragma once

#include <QTest>

// Declares a data table's columns in one call: columns<QString, int>("name", "count").
template <typename... Types, typename... Names>
void columns(Names... names)
{
    static_assert(sizeof...(Types) == sizeof...(Names));
    (QTest::addColumn<Types>(names), ...);
}
