#include "admin/boardconfigurationpage.h"

#include "admin/boardsteps.h"
#include "admin/firmwareprogress.h"
#include "admin/parameterbackup.h"
#include "admin/srecord.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "ui_boardconfigurationpage.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLCDNumber>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QSaveFile>
#include <QSettings>
#include <QThread>

#include <atomic>

namespace {

const QString kConfirmedIcon = QStringLiteral(":/icons/Resources/confirmed.png");
const QString kCautionIcon = QStringLiteral(":/icons/Resources/caution.png");

QString applicationTitle() {
    return QCoreApplication::applicationName();
}

// Runs `work` on a worker thread while this thread's event loop goes on with `flags` (repaints and
// the queued progress always; user input only when a modal window limits it to that window), and
// returns the work's result. The board link serialises the work's own board exchanges.
template <typename Work> auto runAside(Work work, QEventLoop::ProcessEventsFlags flags) {
    decltype(work()) result{};
    QEventLoop loop;
    std::unique_ptr<QThread> thread(QThread::create([&] { result = work(); }));
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    thread->start();
    loop.exec(flags);
    thread->wait();
    return result;
}

constexpr auto kNoInput = QEventLoop::ExcludeUserInputEvents;
constexpr auto kModalInput = QEventLoop::AllEvents;

// "Operation failed: retry", and when the request may still be on the board, what to do about it.
QString failedStepText(boardsteps::StepOutcome outcome, Text requestLeftText) {
    if (outcome != boardsteps::StepOutcome::RequestLeft) return textAt(Text::OperationFailedRetry);
    return QStringLiteral("%1\n%2").arg(textAt(Text::OperationFailedRetry), textAt(requestLeftText));
}

} // namespace

// Marks the page busy and keeps its controls from starting anything else until the work is done.
class BoardConfigurationPage::Busy {
public:
    explicit Busy(BoardConfigurationPage &page)
        : m_page(page),
          m_controls({page.m_ui->modelComboBox, page.m_ui->defaultButton, page.m_ui->firmwareUpdateButton,
                      page.m_ui->eepromCheckBox, page.m_ui->homeBAdmin}) {
        m_page.m_busy = true;
        for (QWidget *control : m_controls) {
            m_enabled.append(control->isEnabled());
            control->setEnabled(false);
        }
    }
    ~Busy() {
        for (qsizetype i = 0; i < m_controls.size(); ++i)
            m_controls[i]->setEnabled(m_enabled[i]);
        m_page.m_busy = false;
    }
    Busy(const Busy &) = delete;
    Busy &operator=(const Busy &) = delete;

private:
    BoardConfigurationPage &m_page;
    QList<QWidget *> m_controls;
    QList<bool> m_enabled;
};

// Carries the update's progress from the worker thread to the progress window and the error
// counter (queued, so both are touched on the window thread only), and its Stop button back.
class BoardConfigurationPage::ProgressRelay final : public firmware::Observer {
public:
    ProgressRelay(FirmwareProgress &progress, QLCDNumber &errors) : m_progress(&progress), m_errors(&errors) {
        QObject::connect(&progress, &FirmwareProgress::stopRequested, &progress, [this] { m_stop = true; });
    }
    void erasing(int done, int) override {
        post(m_progress, [progress = m_progress, done] { progress->setValue(done); });
    }
    void programming(int records, int totalRecords, qint64 bytes, qint64 totalBytes) override {
        post(m_progress, [=, progress = m_progress] {
            if (records == 0)
                progress->start(textAt(Text::FirmwareUpdateInProgress) + QStringLiteral("..."), totalRecords);
            progress->setValue(records);
            progress->showBytes(bytes, totalBytes);
        });
    }
    void verificationError(int errors) override {
        post(m_errors, [lcd = m_errors, errors] { lcd->display(errors); });
    }
    bool cancelRequested() override { return m_stop.load(); }

private:
    template <typename Call> static void post(QObject *target, Call call) {
        QMetaObject::invokeMethod(target, std::move(call), Qt::QueuedConnection);
    }
    FirmwareProgress *m_progress;
    QLCDNumber *m_errors;
    std::atomic<bool> m_stop{false};
};

BoardConfigurationPage::BoardConfigurationPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::BoardConfigurationPageForm>()) {
    m_ui->setupUi(this);
    // The board model chosen last, which the update offers first.
    m_ui->modelComboBox->setCurrentIndex(m_ui->modelComboBox->findText(
        QSettings().value(settingkeys::updateFwLastBoard, QString()).toString()));
    connect(m_ui->modelComboBox, &QComboBox::activated, this, &BoardConfigurationPage::chooseModel);
    connect(m_ui->modelComboBox, &QComboBox::textActivated, this,
            [](const QString &text) { QSettings().setValue(settingkeys::updateFwLastBoard, text); });
    connect(m_ui->homeBAdmin, &QAbstractButton::clicked, this, [this] {
        clearResults();
        emit homeRequested();
    });
    connect(m_ui->defaultButton, &QAbstractButton::clicked, this, &BoardConfigurationPage::parDef);
    connect(m_ui->firmwareUpdateButton, &QAbstractButton::clicked, this,
            &BoardConfigurationPage::updateFWSlot);
}

BoardConfigurationPage::~BoardConfigurationPage() = default;

void BoardConfigurationPage::applyTexts() {
    m_ui->warningLabel->setText(textAt(Text::PutBoardInBootLoader));
    m_ui->firmwareUpdateButton->setText(textAt(Text::FwUpdate));
    m_ui->eepromCheckBox->setText(textAt(Text::ResetParameters));
    m_ui->writeErrorLabel->setText(textAt(Text::WritingErrorCounter));
}

void BoardConfigurationPage::prepare() {
    m_ui->eepromCheckBox->setChecked(false);
    m_ui->modelComboBox->clear();
    m_ui->confirmationParDefLabel->clear();
    m_ui->confirmationUpdateFWLabel->clear();
    m_ui->motFileLineEdit->clear();
    const QString last = QSettings().value(settingkeys::updateFwLastBoard, QString()).toString();
    if (last.isEmpty()) {
        // No model chosen yet: a placeholder first, and nothing to run until one is.
        m_ui->modelComboBox->addItem(textAt(Text::SelectBoardModel), QString());
        m_ui->defaultButton->setEnabled(false);
        m_ui->firmwareUpdateButton->setEnabled(false);
    }
    for (const firmware::BoardProfile &profile : firmware::boardProfiles())
        m_ui->modelComboBox->addItem(profile.entry, profile.entry);
    if (!last.isEmpty()) {
        m_ui->modelComboBox->setCurrentIndex(
            m_ui->modelComboBox->findData(last, Qt::UserRole, Qt::MatchExactly));
        const auto profile = firmware::boardProfile(last);
        m_ui->defaultButton->setEnabled(profile && profile->resettable);
        m_ui->firmwareUpdateButton->setEnabled(true);
    }
}

void BoardConfigurationPage::clearResults() {
    m_ui->confirmationParDefLabel->clear();
    m_ui->confirmationUpdateFWLabel->clear();
    m_ui->motFileLineEdit->clear();
}

void BoardConfigurationPage::chooseModel(int index) {
    Q_UNUSED(index); // the current entry decides, as for every other use of the list
    const QString data = m_ui->modelComboBox->currentData().toString();
    const auto profile = firmware::boardProfile(data);
    m_ui->defaultButton->setEnabled(profile && profile->resettable);
    m_ui->firmwareUpdateButton->setEnabled(!data.isEmpty());
}

void BoardConfigurationPage::showResult(QLabel *label, bool success) {
    label->setPixmap(QPixmap(success ? kConfirmedIcon : kCautionIcon));
}

bool BoardConfigurationPage::reopenLink() {
    BoardLink &link = m_session.link();
    link.close();
    const LinkSettings settings = readLinkSettings();
    if (link.open(settings) == 0) return true;
    messages::critical(applicationTitle(), QStringLiteral("%0 %1").arg(textAt(Text::ErrorOpeningSerial),
                                                                       comPortName(settings.com)));
    return false;
}

void BoardConfigurationPage::parDef() {
    if (m_busy) return;
    Busy busy(*this);
    WaitCursor cursor;
    if (reopenLink()) {
        BoardLink &link = m_session.link();
        const boardsteps::StepOutcome reset =
            runAside([&link] { return boardsteps::resetParameters(link); }, kNoInput);
        showResult(m_ui->confirmationParDefLabel, reset == boardsteps::StepOutcome::Done);
        cursor.restore();
        if (reset == boardsteps::StepOutcome::Done) {
            messages::warning(textAt(Text::Caution), textAt(Text::EnabledRebootBoard));
            emit homeRequested();
        } else {
            messages::critical(textAt(Text::Caution), failedStepText(reset, Text::ResetRequestMayRemain));
        }
    }
    m_session.link().close();
    m_ui->motFileLineEdit->clear();
}

void BoardConfigurationPage::updateFWSlot() {
    if (m_busy) return;
    m_updated = false;
    {
        Busy busy(*this);
        if (!reopenLink()) return;
        BoardLink &link = m_session.link();
        if (const auto profile = firmware::boardProfile(m_ui->modelComboBox->currentData().toString())) {
            if (m_session.model() != StoveModel::Unknown && !offerParameterCopy()) {
                // The technician stopped for want of a copy of the parameters.
            } else if (profile->switchesByCommand) {
                boardsteps::StepOutcome switched;
                bool inBootLoader = false;
                {
                    WaitCursor cursor;
                    switched = runAside([&link] { return boardsteps::switchToBootLoader(link); }, kNoInput);
                    // A board that does not take the text commands may already be in its boot loader
                    // (an update that did not finish, or a switch whose confirmation was lost): one
                    // probe tells, and the update then goes on from there.
                    if (switched != boardsteps::StepOutcome::Done)
                        inBootLoader = runAside(
                            [&] { return firmware::probeBootLoader(link, profile->probeAddress); }, kNoInput);
                }
                if (inBootLoader) {
                    checkBootLoader(*profile);
                } else if (switched == boardsteps::StepOutcome::Done) {
                    messages::warning(textAt(Text::Caution),
                                      QStringLiteral("%0 %1 %2")
                                          .arg(textAt(Text::BeforePressingOk),
                                               textAt(Text::EnabledRebootBoard).toLower(),
                                               textAt(Text::ToContinueTheOperation).toLower()));
                    checkBootLoader(*profile);
                } else {
                    messages::critical(textAt(Text::Caution),
                                       failedStepText(switched, Text::BootLoaderRequestMayRemain));
                }
            } else {
                checkBootLoader(*profile);
            }
        }
        link.close();
    }
    // The new firmware is used from the next start: leave the event loop; the window's destruction
    // then stops the polling thread and closes the link as on any other way out.
    if (m_updated) QCoreApplication::exit(0);
}

bool BoardConfigurationPage::offerParameterCopy() {
    const StoveModel model = m_session.model();
    const QString stored = QSettings().value(settingkeys::paramsFileName, QString()).toString();
    const QFileInfo storedInfo(stored);
    const QString folder = !stored.isEmpty() && storedInfo.isDir() ? stored : QStringLiteral("par");
    const QString path =
        QFileInfo(backup::backupPath(folder, model, QDate::currentDate())).absoluteFilePath();
    if (!messages::ask(
            applicationTitle(),
            QStringLiteral("%0\n%1").arg(textAt(Text::SaveBeforeUpdate), QDir::toNativeSeparators(path)),
            QMessageBox::Yes))
        return true;

    std::optional<QByteArray> content;
    {
        FirmwareProgress progress(*this);
        std::atomic<bool> stop{false};
        connect(&progress, &FirmwareProgress::stopRequested, &progress, [&stop] { stop = true; });
        progress.start(textAt(Text::ReadingParameters), 1);
        BoardLink &link = m_session.link();
        const QString firmwareVersion = m_session.firmwareVersion();
        const bool hubaMode = m_session.hubaMode();
        QPointer<FirmwareProgress> target(&progress);
        backup::Progress report;
        report.step = [target](int done, int total) {
            QMetaObject::invokeMethod(
                target.data(),
                [target, done, total] {
                    if (target.isNull()) return;
                    target->setMaximum(total);
                    target->setValue(done);
                },
                Qt::QueuedConnection);
        };
        report.cancelled = [&stop] { return stop.load(); };
        content = runAside(
            [&] { return backup::readParameterFile(link, model, firmwareVersion, hubaMode, report); },
            kModalInput);
    }

    bool saved = false;
    if (content) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        // Written whole or not at all.
        QSaveFile file(path);
        saved = file.open(QIODevice::WriteOnly) && file.write(*content) == content->size() && file.commit();
    }
    return saved || messages::ask(applicationTitle(), textAt(Text::ContinueWithoutCopy), QMessageBox::No);
}

void BoardConfigurationPage::checkBootLoader(const firmware::BoardProfile &profile) {
    BoardLink &link = m_session.link();
    for (;;) {
        bool answered;
        {
            WaitCursor cursor;
            answered =
                runAside([&] { return firmware::probeBootLoader(link, profile.probeAddress); }, kNoInput);
        }
        if (answered) {
            programFirmware(profile);
            return;
        }
        QMessageBox box(QMessageBox::Warning, applicationTitle(), QString(),
                        QMessageBox::Abort | QMessageBox::Retry);
        box.setTextFormat(Qt::PlainText);
        box.setInformativeText(textAt(Text::BoardUnreachableBootLoader));
        box.setDefaultButton(QMessageBox::Retry);
        const int answer = box.exec();
        if (answer == QMessageBox::Retry) continue;
        if (answer == QMessageBox::Abort) link.close();
        return;
    }
}

void BoardConfigurationPage::programFirmware(const firmware::BoardProfile &profile) {
    const QString start = QSettings().value(settingkeys::motFileName, defaultMotFileName()).toString();
    const QString path = QFileDialog::getOpenFileName(window(), textAt(Text::SelectFileToOpen), start,
                                                      QStringLiteral("%0 (*.mot)").arg(textAt(Text::Files)));
    if (path.isEmpty()) return;

    WaitCursor cursor;
    m_ui->motFileLineEdit->setText(QDir::toNativeSeparators(path));
    m_ui->confirmationUpdateFWLabel->clear();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QSettings().setValue(settingkeys::motFileName, QFileInfo(path).absolutePath());

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        cursor.restore();
        messages::critical(textAt(Text::Caution),
                           QStringLiteral("%0 %1").arg(textAt(Text::CannotReadFile), path));
        return;
    }
    firmware::Options options;
    options.eraseDataArea = m_ui->eepromCheckBox->isChecked();
    options.verifyLimit = profile.verifyLimit;
    // Records may lie only where the update erases; one byte over the size limit is enough to
    // refuse a file that is too large. A refused file reaches no board: the box says why.
    const QList<srec::Area> flash = firmware::erasedAreas(options.eraseDataArea);
    const srec::CheckResult checked = srec::check(file.read(srec::kMaxFileBytes + 1), flash);
    file.close();
    if (!checked.ok()) {
        cursor.restore();
        showResult(m_ui->confirmationUpdateFWLabel, false);
        messages::warning(textAt(Text::Caution),
                          QStringLiteral("%0\n%1").arg(textAt(Text::FirmwareFileRefused),
                                                       firmware::refusalText(checked, flash)));
        return;
    }
    m_ui->writeErrorLcdNumber->display(0);
    firmware::Result result;
    {
        FirmwareProgress progress(*this);
        progress.start(textAt(Text::ErasingMemory) + QStringLiteral("..."),
                       static_cast<int>(firmware::sectorsToErase(options.eraseDataArea).size()));
        ProgressRelay relay(progress, *m_ui->writeErrorLcdNumber);
        BoardLink &link = m_session.link();
        result =
            runAside([&] { return firmware::update(link, checked.records, options, relay); }, kModalInput);
    }
    m_ui->writeErrorLcdNumber->display(result.errors);
    showResult(m_ui->confirmationUpdateFWLabel, result.success());
    cursor.restore();
    reportUpdate(result);
}

void BoardConfigurationPage::reportUpdate(const firmware::Result &result) {
    // What was read back, under the title: bytes above the board's verification limit are written
    // but not read back, and the message must not claim more than was checked.
    const QString summary = firmware::verificationSummary(result);
    if (result.success()) {
        messages::information(applicationTitle(),
                              QStringLiteral("%0 %1.\n%2\n%3")
                                  .arg(textAt(Text::OperationCompleted), textAt(Text::EnabledRebootBoard),
                                       summary, textAt(Text::ProgramWillClose)));
        m_updated = true;
        return;
    }
    QString text = QStringLiteral("%0. %1").arg(textAt(Text::OperationFailed), textAt(Text::Repeat));
    if (result.bytesWritten > 0) text += QLatin1Char('\n') + summary;
    for (const QString &detail : firmware::failureDetails(result))
        text += QLatin1Char('\n') + detail;
    messages::warning(applicationTitle(), text);
}
