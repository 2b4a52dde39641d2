#pragma once

#include <QString>
#include <QStringList>

// Splits a free-form svn line into arguments with shell-like quoting; throws on an unclosed quote.
QStringList parseArgumentLine(const QString &line);
