#pragma once

#include <QtTest>

// A data table's columns in one call, types and names in the same order:
//   addColumns<QByteArray, int>("payload", "count");
template <typename... T, typename... Name>
void addColumns(const Name &...names)
{
    static_assert(sizeof...(T) == sizeof...(Name), "one name for each column");
    (QTest::addColumn<T>(names), ...);
}
