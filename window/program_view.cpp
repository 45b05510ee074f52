#include "window/program_view.h"

#include "compose/vocabulary.h"
#include "fuses/fuse_bytes.h"
#include "production/production_log.h"
#include "runner/command_split.h"
#include "session/bench.h"
#include "session/chip_session.h"
#include "settings/settings.h"
#include "window/messages.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QTableWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace window {
ProgramDialog::ProgramDialog(const Controls &ui, session::ChipSession &session, QWidget *window)
    : QDialog(window), ui_(ui), session_(session), file_(Named(new QLineEdit(this), QStringLiteral("ProgramFile"))),
      log_(Named(new QLineEdit(this), QStringLiteral("ProgramLog"))),
      serialAddress_(Named(new QLineEdit(this), QStringLiteral("SerialAddress"))),
      serialNext_(Named(new QLineEdit(this), QStringLiteral("SerialNext"))),
      serialOn_(Named(new QCheckBox(QStringLiteral("Serial number in EEPROM at"), this), QStringLiteral("SerialOn"))),
      values_(Named(new QLabel(this), QStringLiteral("ProgramValues"))), count_(Named(new QLabel(this), QStringLiteral("ProgramCount"))),
      target_(Named(new QLabel(this), QStringLiteral("ProgramTarget"))),
      program_(Named(new QPushButton(QStringLiteral("Program Chip"), this), QStringLiteral("ProgramChipButton"))),
      verify_(Named(new QPushButton(QStringLiteral("Verify Chip"), this), QStringLiteral("VerifyChipButton"))),
      switch_(Named(new QPushButton(this), QStringLiteral("ProgramSwitch"))),
      close_(Named(new QPushButton(QStringLiteral("Close"), this), QStringLiteral("ProgramClose"))),
      stations_(Named(new QTableWidget(0, 4, this), QStringLiteral("ProgramStations"))),
      stationText_(Named(new QLineEdit(this), QStringLiteral("StationText"))),
      addStation_(Named(new QPushButton(QStringLiteral("Add Station"), this), QStringLiteral("AddStation"))),
      addAttached_(Named(new QPushButton(QStringLiteral("Add Attached"), this), QStringLiteral("AddAttachedStations"))),
      removeStation_(Named(new QPushButton(QStringLiteral("Remove"), this), QStringLiteral("RemoveStation")))
{
    setObjectName(QStringLiteral("ProgramDialog"));
    setWindowTitle(QStringLiteral("Program Chip"));
    auto *grid = new QGridLayout(this);
    auto *browseFile = new QPushButton(QStringLiteral("..."), this), *browseLog = new QPushButton(QStringLiteral("..."), this);
    grid->addWidget(new QLabel(QStringLiteral("ELF file:"), this), 0, 0);
    grid->addWidget(file_, 0, 1, 1, 3);
    grid->addWidget(browseFile, 0, 4);
    values_->setWordWrap(true);
    auto *said = new QHBoxLayout;
    said->addWidget(values_, 1);
    said->addWidget(switch_, 0, Qt::AlignTop);
    switch_->hide();
    grid->addLayout(said, 1, 0, 1, 5);
    grid->addWidget(serialOn_, 2, 0, 1, 2);
    grid->addWidget(serialAddress_, 2, 2);
    auto *next = new QHBoxLayout;
    next->addWidget(new QLabel(QStringLiteral("next:"), this));
    next->addWidget(serialNext_);
    grid->addLayout(next, 2, 3, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Log file (CSV):"), this), 3, 0);
    grid->addWidget(log_, 3, 1, 1, 3);
    grid->addWidget(browseLog, 3, 4);
    target_->setWordWrap(true);
    grid->addWidget(target_, 4, 0, 1, 5);
    stations_->setHorizontalHeaderLabels({QStringLiteral("Station"), QStringLiteral("State"), QStringLiteral("Time"), QStringLiteral("Done, failed")});
    stations_->verticalHeader()->hide();
    stations_->setSelectionBehavior(QAbstractItemView::SelectRows);
    stations_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    stations_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    stations_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    // The time and the counts change ten times a second on every station: widths fixed for their
    // widest, so that a tick redraws a cell and measures no column.
    for (const auto &[column, widest] : {std::pair{2, QStringLiteral("9999.9 s")}, std::pair{3, QStringLiteral("Done, failed")}}) {
        stations_->horizontalHeader()->setSectionResizeMode(column, QHeaderView::Fixed);
        stations_->horizontalHeader()->resizeSection(column, stations_->fontMetrics().horizontalAdvance(widest) + 16);
    }
    stations_->setMinimumHeight(stations_->verticalHeader()->defaultSectionSize() * 4 + stations_->horizontalHeader()->sizeHint().height());
    grid->addWidget(stations_, 5, 0, 1, 5);
    auto *add = new QHBoxLayout;
    add->addWidget(stationText_, 1);
    add->addWidget(addStation_);
    add->addWidget(addAttached_);
    add->addWidget(removeStation_);
    grid->addLayout(add, 6, 0, 1, 5);
    grid->addWidget(count_, 7, 0, 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(verify_);
    buttons->addWidget(program_);
    buttons->addWidget(close_);
    grid->addLayout(buttons, 7, 2, 1, 3);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetMinimumSize);  // every text whole, however long
    // No button is the default: Return in a field (the file's name) must not erase and program a chip.
    for (QPushButton *button : findChildren<QPushButton *>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    serialAddress_->setPlaceholderText(QStringLiteral("0x10"));
    serialAddress_->setToolTip(QStringLiteral("The EEPROM address of the serial number: four bytes, the least significant first"));
    serialNext_->setToolTip(QStringLiteral("The serial number of the next good board; one more after each"));
    log_->setToolTip(QStringLiteral("One line per board: time, part, signature, serial, result, the failing step, avrdude's first error"));
    program_->setToolTip(QStringLiteral("Check the chip's signature, then erase and write flash, EEPROM, the serial number, "
                                        "the fuses and the lock, each verified (after a board, Space programs the next)"));
    verify_->setToolTip(QStringLiteral("Compare the chip with the file, memory by memory; nothing is written"));
    count_->setText(QStringLiteral("Boards done: 0, failed: 0"));
    stationText_->setPlaceholderText(QStringLiteral("-c usbasp -P usb:A1B2"));
    stationText_->setToolTip(QStringLiteral("A station: its programmer (-c) and port (-P), and a bit clock (-B), baud rate (-b) or "
                                            "extended options (-x) where it needs them"));
    addAttached_->setToolTip(QStringLiteral("A station for each programmer plugged in (a USB programmer by its serial number)"));
    stations_->setToolTip(QStringLiteral("Program Chip programs a board on every station at once; without stations, the window's "
                                         "programmer and port are the one"));
    resize(620, sizeHint().height());
    connect(addStation_, &QPushButton::clicked, this, [this] { addStation(stationText_->text()); });
    connect(stationText_, &QLineEdit::returnPressed, this, [this] { addStation(stationText_->text()); });
    connect(addAttached_, &QPushButton::clicked, this, [this] {
        for (const production::Station &station : attached_)
            if (std::ranges::none_of(listed_, [&](const production::Station &s) { return s.text() == station.text(); }))
                listed_.push_back(station);
        showStations();
    });
    connect(removeStation_, &QPushButton::clicked, this, [this] {
        const int row = stations_->currentRow();
        if (row < 0 || row >= static_cast<int>(listed_.size()))
            return;
        listed_.erase(listed_.begin() + row);
        showStations();
    });
    connect(&session_, &session::ChipSession::stationChanged, this, &ProgramDialog::showStation);
    connect(&session_, &session::ChipSession::boardEnded, this, &ProgramDialog::boardEnded);
    connect(serialNext_, &QLineEdit::editingFinished, this, &ProgramDialog::takeNextField);
    keepBook({});
    addAttached_->setEnabled(false);

    connect(browseFile, &QPushButton::clicked, this,
            [this] { browse(file_, QStringLiteral("ELF files (*.elf);;All files (*)"), false); });
    connect(browseLog, &QPushButton::clicked, this, [this] { browse(log_, QStringLiteral("CSV files (*.csv);;All files (*)"), true); });
    connect(file_, &QLineEdit::editingFinished, this, &ProgramDialog::showFile);
    connect(program_, &QPushButton::clicked, this, [this] { start(false); });
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    // A file built for another part: the window switches to that part, and the file is shown again.
    connect(switch_, &QPushButton::clicked, this, [this] {
        ui_.deviceBox->setEditText(switch_->property("part").toString());
        showFile();
    });
    connect(verify_, &QPushButton::clicked, this, [this] { start(true); });
    connect(&session_, &session::ChipSession::programmed, this, &ProgramDialog::finished);
    connect(&session_, &session::ChipSession::runStateChanged, this, [this](bool running) {
        program_->setEnabled(!running);
        verify_->setEnabled(!running);
        for (QWidget *w : std::initializer_list<QWidget *>{stationText_, addStation_, removeStation_, serialNext_, serialAddress_, serialOn_})
            w->setEnabled(!running);
        addAttached_->setEnabled(!running && !attached_.empty());
        if (!running) {
            program_->setFocus();  // Enter again for the next board
            showNextSerial();
        }
    });
    connect(&session_, &session::ChipSession::finished, this, [this] { mine_ = false; });
}

void ProgramDialog::load(const settings::Saved &saved)
{
    file_->setText(saved.programFile);
    log_->setText(saved.programLog);
    serialOn_->setChecked(!saved.serialAddress.isEmpty());
    serialAddress_->setText(saved.serialAddress);
    production::SerialBook book;
    book.first = book.next = production::ParseSerial(saved.serialNext).value_or(1);
    book.free = production::ParseFree(saved.serialFree);
    book.pending = production::ParsePending(saved.serialPending);
    // Numbers handed out to boards that were under way when the program last ended: those boards
    // are not done, and their numbers go to the next ones (kept so with the settings' next save).
    if (!book.pending.empty()) {
        QStringList numbers;
        for (const auto &entry : book.pending) {
            numbers << QString::number(entry.first);
            book.free.insert(entry.first);
        }
        session::LogReissued(log_->text(), Snapshot(ui_).device, book.pending);
        book.pending.clear();
        reissuedNote_ = QStringLiteral("Serial %1 %2 handed out when Fusewerk last ended, before %3 done: %4 to the next boards.")
                            .arg(numbers.size() == 1 ? QStringLiteral("number") : QStringLiteral("numbers"), numbers.join(QStringLiteral(", ")),
                                 numbers.size() == 1 ? QStringLiteral("was") : QStringLiteral("were"),
                                 numbers.size() == 1 ? QStringLiteral("its board was") : QStringLiteral("their boards were"))
                            .arg(numbers.size() == 1 ? QStringLiteral("it goes") : QStringLiteral("they go"));
        count_->setText(reissuedNote_);
    }
    keepBook(book);
    listed_.clear();
    for (const QString &text : saved.stations.split(QStringLiteral(" ; "), Qt::SkipEmptyParts)) {
        QString error;
        if (const std::optional<production::Station> station = production::ParseStation(runner::SplitCommandLine(text), &error))
            listed_.push_back(*station);
    }
    showNextSerial();
    showStations();
}

void ProgramDialog::store(settings::Saved &saved) const
{
    saved.programFile = file_->text();
    saved.programLog = log_->text();
    saved.serialAddress = serialOn_->isChecked() ? serialAddress_->text() : QString();
    const production::SerialBook &book = keeping_ ? *keeping_ : ledger_->book();
    saved.serialNext = serialOn_->isChecked() || !saved.serialNext.isEmpty() ? QString::number(book.next) : QString();
    saved.serialFree = production::FormatFree(book.free);
    saved.serialPending = production::FormatPending(book.pending);
    QStringList stations;
    for (const production::Station &station : listed_)
        stations << station.text();
    saved.stations = stations.join(QStringLiteral(" ; "));
}

void ProgramDialog::keepBook(production::SerialBook book)
{
    // Each change of the book is handed to the disk with the whole settings file; the bench starts a
    // board once the file is there, and says so when it could not be written.
    ledger_.emplace(std::move(book), [this](const production::SerialBook &changed, QString *) {
        keeping_ = &changed;
        if (keepSettings_)
            keepSettings_();
        keeping_ = nullptr;
        return true;
    });
}

void ProgramDialog::showNextSerial()
{
    const production::SerialBook &book = ledger_->book();
    const std::optional<std::uint32_t> next = book.peek();
    serialNext_->setText(next ? QString::number(*next) : QString());
}

void ProgramDialog::takeNextField()
{
    const std::optional<std::uint32_t> typed = production::ParseSerial(serialNext_->text());
    if (!typed || typed == ledger_->book().peek())
        return;
    // A number typed anew begins a series there: the numbers given back before are the old one's.
    production::SerialBook book;
    book.first = book.next = *typed;
    keepBook(book);
}

void ProgramDialog::setAttached(std::vector<production::Station> attached)
{
    attached_ = std::move(attached);
    addAttached_->setEnabled(!attached_.empty() && !session_.running());
    QStringList names;
    for (const production::Station &station : attached_)
        names << station.text();
    addAttached_->setToolTip(attached_.empty() ? QStringLiteral("No programmer is plugged in")
                                               : QStringLiteral("Add a station for each programmer plugged in: %1").arg(names.join(QStringLiteral("; "))));
}

std::vector<production::Station> ProgramDialog::stations() const
{
    if (!listed_.empty())
        return listed_;
    const compose::FormState target = Snapshot(ui_);
    return {production::Station{target.programmer, target.port, {}, {}, {}}};
}

void ProgramDialog::addStation(const QString &text)
{
    QString error;
    const std::optional<production::Station> station = production::ParseStation(runner::SplitCommandLine(text), &error);
    if (!station || text.contains(u';')) {
        ShowMessage(this, MessageKind::Warning, QStringLiteral("\"%1\" is not a station: %2.").arg(text, station ? QStringLiteral("a station holds no \";\"") : error));
        return;
    }
    if (std::ranges::any_of(listed_, [&](const production::Station &s) { return s.text() == station->text(); })) {
        ShowMessage(this, MessageKind::Warning, QStringLiteral("The station %1 is listed already.").arg(station->text()));
        return;
    }
    listed_.push_back(*station);
    stationText_->clear();
    showStations();
}

void ProgramDialog::showStations()
{
    const std::vector<production::Station> shown = stations();
    stations_->setRowCount(static_cast<int>(shown.size()));
    for (int row = 0; row < static_cast<int>(shown.size()); ++row) {
        const QString name = shown[static_cast<std::size_t>(row)].text();
        for (int column = 0; column < 4; ++column)
            if (!stations_->item(row, column))
                stations_->setItem(row, column, new QTableWidgetItem);
        stations_->item(row, 0)->setText(listed_.empty() ? QStringLiteral("%1 (the window's)").arg(name) : name);
        stations_->item(row, 1)->setText(QStringLiteral("idle"));
        stations_->item(row, 2)->setText(QString());
        stations_->item(row, 3)->setText(QString());
    }
    removeStation_->setEnabled(!listed_.empty() && !session_.running());
    // The file's values reach the editors only while the dialog is open.
    if (isVisible())
        showFile();
}

void ProgramDialog::showStation(int row)
{
    const session::Bench *bench = session_.bench();
    if (!mine_ || !bench || row < 0 || row >= stations_->rowCount() || row >= static_cast<int>(bench->stations().size()))
        return;
    const session::StationView &view = bench->stations()[static_cast<std::size_t>(row)];
    QString state;
    switch (view.state) {
    case session::StationState::Idle: state = QStringLiteral("idle"); break;
    case session::StationState::Signature: state = QStringLiteral("reading the signature"); break;
    case session::StationState::Programming: state = QStringLiteral("programming"); break;
    case session::StationState::Verifying: state = QStringLiteral("verifying"); break;
    case session::StationState::Done: state = QStringLiteral("done"); break;
    case session::StationState::Failed: state = QStringLiteral("failed: %1").arg(view.error); break;
    case session::StationState::Stopped: state = QStringLiteral("stopped"); break;
    }
    if (!view.serial.isEmpty())
        state += QStringLiteral(", serial %1").arg(view.serial);
    stations_->item(row, 1)->setText(state);
    stations_->item(row, 1)->setToolTip(view.error);
    stations_->item(row, 2)->setText(QStringLiteral("%1 s").arg(QLocale::c().toString(view.elapsedMs / 1000.0, 'f', 1)));
    stations_->item(row, 3)->setText(QStringLiteral("%1, %2").arg(view.done).arg(view.failed));
}

void ProgramDialog::boardEnded(const session::BoardEnd &end)
{
    if (!mine_)
        return;
    (end.ok ? done_ : failed_)++;
    count_->setText(QStringLiteral("Boards done: %1, failed: %2").arg(done_).arg(failed_));
    showNextSerial();
    emit boardDone();
}

void ProgramDialog::browse(QLineEdit *field, const QString &filter, bool save)
{
    const QString dir = field->text().isEmpty() ? QString() : QFileInfo(field->text()).absolutePath();
    const QString chosen = save ? QFileDialog::getSaveFileName(this, QStringLiteral("Log file"), dir, filter, nullptr,
                                                               QFileDialog::DontConfirmOverwrite)
                                : QFileDialog::getOpenFileName(this, QStringLiteral("ELF file"), dir, filter);
    if (chosen.isEmpty())
        return;
    field->setText(chosen);
    if (field == file_)
        showFile();
}

std::optional<production::ProgramPlan> ProgramDialog::plan(bool verify)
{
    production::ProgramRequest request;
    request.elf = file_->text();
    request.target = Snapshot(ui_);
    if (request.elf.isEmpty()) {
        // No ELF file: the window's flash and EEPROM files, and the byte editors' values that were
        // read, typed or set (an unread 00 is never written).
        request.flash = {ui_.flashFile->text(), compose::LookupFormatLetter(ui_.flashFormat->currentText()).front()};
        if (!ui_.eepromFile->text().isEmpty())
            request.eeprom = {ui_.eepromFile->text(), compose::LookupFormatLetter(ui_.eepromFormat->currentText()).front()};
        for (const fuses::FuseByteRow &row : fuses::FuseByteTable) {
            const widgets::ByteEditor *editor = ui_.byteEditor(row.byte);
            if (editor->isEnabled() && ui_.fuseSettings->isKnown(row.byte))
                request.values.push_back({QString::fromLatin1(row.memory), QByteArray(1, static_cast<char>(editor->value())), {}});
        }
        // The lock last: written first, it would refuse the fuses.
        std::ranges::stable_partition(request.values, [](const production::FuseValue &v) { return v.memory != QLatin1String("lock"); });
    }
    request.verifyOnly = verify;
    if (!verify && serialOn_->isChecked()) {
        const std::optional<std::uint32_t> address = production::ParseAddress(serialAddress_->text()), serial = production::ParseSerial(serialNext_->text());
        if (!address || !serial) {
            values_->setText(QStringLiteral("The serial number's address and next number must be numbers (0x10, 1001)."));
            return std::nullopt;
        }
        request.serialFile = temp_.filePath(QStringLiteral("serial.hex"));
        QFile file(request.serialFile);
        if (!temp_.isValid() || !file.open(QIODevice::WriteOnly) || file.write(production::SerialHex(*address, *serial)) < 0) {
            values_->setText(QStringLiteral("The serial number's file cannot be made in %1.").arg(temp_.path()));
            return std::nullopt;
        }
        request.serialAt = address;
    }
    request_ = request;
    production::ProgramPlan p = production::PlanProgram(request, session_.words());
    switch_->setVisible(!p.builtFor.isEmpty());
    switch_->setText(QStringLiteral("Switch to %1").arg(p.builtFor));
    switch_->setProperty("part", p.builtFor);
    if (!p.refusal.isEmpty()) {
        values_->setText(QStringLiteral("Nothing can run: %1.").arg(p.refusal));
        return std::nullopt;
    }
    return p;
}

void ProgramDialog::showFile()
{
    const compose::FormState target = Snapshot(ui_);
    target_->setText(!listed_.empty()
                         ? QStringLiteral("On %1 %2 side by side, a board on each; Verify Chip with the window's programmer.")
                               .arg(listed_.size())
                               .arg(listed_.size() == 1 ? QStringLiteral("station") : QStringLiteral("stations"))
                         : QStringLiteral("With the window's programmer %1%2, for every board.")
                               .arg(target.programmer.isEmpty() ? QStringLiteral("(none chosen)") : target.programmer,
                                    target.port.isEmpty() ? QString() : QStringLiteral(" on port %1").arg(target.port)));
    if (file_->text().isEmpty()) {
        switch_->hide();
        values_->setText(QStringLiteral("Without an ELF file: the flash and EEPROM files of the window, and the fuse and "
                                        "lock values read, typed or set in the byte editors."));
        return;
    }
    const std::optional<production::ProgramPlan> p = plan(true);
    if (!p)
        return;
    // The file's values go to the editors and the panel, where the gate's questions refer to them.
    QStringList shown;
    for (const production::FuseValue &v : p->values) {
        std::uint32_t value = 0;
        for (qsizetype i = 0; i < v.bytes.size(); ++i)
            value |= static_cast<std::uint32_t>(static_cast<quint8>(v.bytes[i])) << (8 * i);
        shown << QStringLiteral("%1 %2").arg(v.memory, QString::number(value, 16).toUpper().rightJustified(2 * v.bytes.size(), u'0'));
        const auto row = std::ranges::find_if(fuses::FuseByteTable, [&](const auto &r) { return v.memory == QLatin1String(r.memory); });
        if (row != std::end(fuses::FuseByteTable) && ui_.byteEditor(row->byte)->isEnabled()) {
            ui_.byteEditor(row->byte)->setValue(value);
            ui_.fuseSettings->setValue(row->byte, value);  // the file's, even where it was 00
        }
        else
            ui_.fuseSettings->setFuseValue(v.memory, value);
    }
    values_->setText(QStringLiteral("For the %1 (signature %2): %3.")
                         .arg(p->part, p->signature, shown.isEmpty() ? QStringLiteral("no fuse or lock values") : shown.join(QStringLiteral(", "))));
}

void ProgramDialog::start(bool verify)
{
    if (session_.running())
        return;
    showFile();
    const std::optional<production::ProgramPlan> p = plan(verify);
    if (!p)
        return;
    if (verify) {
        mine_ = session_.programChip(p->signatureLine, p->line, p->signature, verify);
        return;
    }
    session::BenchRequest request;
    request.base = request_;
    request.base.serialFile.clear();
    request.stations = stations();
    request.log = log_->text();
    request.disk = disk_;
    if (serialOn_->isChecked()) {
        takeNextField();
        request.ledger = &*ledger_;
    }
    showStations();
    done_ = failed_ = 0;
    mine_ = true;
    if (!session_.programStations(request))
        mine_ = false;
}

void ProgramDialog::finished(const session::ProgramResult &result)
{
    // Program Chip runs on the bench (boardEnded); this is Verify Chip's end.
    if (!mine_ || !result.verify)
        return;
    values_->setText(result.ok ? QStringLiteral("The chip matches %1.").arg(QFileInfo(file_->text()).fileName())
                     : !result.difference.isEmpty() ? QStringLiteral("The chip differs: %1.").arg(result.difference)
                                                    : QStringLiteral("Verify Chip failed: %1").arg(result.firstError));
}

}  // namespace window
