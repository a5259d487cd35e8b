// The subcommands of hbctl and the table that names them.
#pragma once

#include "cli.h"

#include <QList>
#include <QString>
#include <QStringList>

struct Command {
    QStringList words;   // "params", "read"
    QString synopsis;    // arguments and options after the words
    QString summary;     // one line for --help
    QStringList options; // long names of the options it takes besides the link options
    int files = 0;       // file arguments it needs
    int (*run)(Context &context) = nullptr;
};

// Every command.
const QList<Command> &commands();

int identify(Context &context);
int paramsRead(Context &context);
int paramsWrite(Context &context);
int paramsDiff(Context &context);
int monitor(Context &context);
int flash(Context &context);
