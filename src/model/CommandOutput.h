#pragma once

#include <QString>
#include <QUuid>

// A finished command as shown to the user. Identity only: every record is new.
struct CommandOutput {
    QUuid id = QUuid::createUuid();
    QString title;
    QString commandLine;
    qint32 status = 0;
    QString stdout;
    QString stderr;
};

// An error or notice to show. Identity only.
struct AppAlert {
    QUuid id = QUuid::createUuid();
    QString title;
    QString message;
};
