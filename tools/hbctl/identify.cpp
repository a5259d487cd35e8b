// hbctl identify: the board's model, firmware version and revision, as the window shows them.
#include "app/texts.h"
#include "commands.h"

int identify(Context &context) {
    Board board;
    if (const auto failed = openBoard(context, board, false)) return *failed;
    if (context.json) {
        printJson({{QStringLiteral("port"), context.link.name},
                   {QStringLiteral("model"), board.modelText},
                   {QStringLiteral("known"), board.model != StoveModel::Unknown},
                   {QStringLiteral("firmware"), board.version},
                   {QStringLiteral("revision"), board.revision},
                   {QStringLiteral("identity"), board.identity}});
        return ExitOk;
    }
    const QStringList labels{textAt(Text::Model), textAt(Text::FirmwareVersion), textAt(Text::Revision)};
    qsizetype width = 0;
    for (const QString &label : labels)
        width = std::max(width, label.size());
    const QStringList values{board.modelText, board.version, board.revision};
    for (int i = 0; i < labels.size(); ++i)
        printLine(labels[i].leftJustified(width + 2) + values[i]);
    return ExitOk;
}
