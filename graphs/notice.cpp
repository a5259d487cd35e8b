#include "graphs/notice.h"

namespace graphs {

void notify(QMessageBox::Icon icon, const QString &title, const QString &text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace graphs
