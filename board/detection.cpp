#include "board/detection.h"

#include "board/commands.h"
#include "board/transactions.h"

std::optional<QString> readBoardIdentity(BoardLink &link) {
    char text[board::replyCapacity] = {};
    if (!link.transact(kIdentityPolicy, [&](int wait) { return readIdentity(text, wait); }))
        return std::nullopt;
    const QString identity = identityText(text, kIdentityLength);
    if (!identityUsable(identity)) return std::nullopt;
    return identity;
}
