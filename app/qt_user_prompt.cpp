#include "app/qt_user_prompt.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

// "wav" for "Wav Files(*.wav)": the first extension the filter names.
QString default_suffix(const QString& filter)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("\\*\\.(\\w+)")).match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace

// Boxes have no parent: deep layers raise them in the middle of an operation, when the
// window may not even be shown yet (the first connection runs inside its constructor).
void CQtUserPrompt::show_message(const QString& title, const QString& text)
{
    QMessageBox::information(nullptr, title, text, QMessageBox::Ok);
}

bool CQtUserPrompt::ask_yes_no(const QString& title, const QString& text)
{
    return QMessageBox::information(nullptr, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool CQtUserPrompt::ask_yes_no_or_play(const QString& title, const QString& text,
                                       const std::function<void()>& play)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Yes | QMessageBox::No);
    QPushButton* play_button = box.addButton(QStringLiteral("Play"), QMessageBox::ActionRole);
    // A box closes on any button: after Play it is shown again, the song playing meanwhile.
    for (;;) {
        box.exec();
        if (box.clickedButton() != play_button)
            return box.clickedButton() == box.button(QMessageBox::Yes);
        play();
    }
}

bool CQtUserPrompt::ask_yes_no_table(const QString& title, const QString& text, const SQuestionTable& table,
                                     const QString& /*in_words*/)
{
    QDialog dialog;
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("m_labelQuestion"));
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* cells = new QTableWidget(int(table.rows.size()), table.headings.size());
    cells->setObjectName(QStringLiteral("m_tableQuestion"));
    cells->setHorizontalHeaderLabels(table.headings);
    cells->verticalHeader()->hide();
    cells->setEditTriggers(QAbstractItemView::NoEditTriggers);
    cells->setSelectionMode(QAbstractItemView::NoSelection);
    cells->setFocusPolicy(Qt::NoFocus);
    for (int row = 0; row < cells->rowCount(); ++row)
        for (int column = 0; column < cells->columnCount(); ++column)
            cells->setItem(row, column, new QTableWidgetItem(table.rows[size_t(row)].value(column)));
    cells->resizeColumnsToContents();
    cells->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(cells);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Yes | QDialogButtonBox::No);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    // Wide enough for a song's name and why beside it, without a sideways scroll bar.
    dialog.resize(std::max(640, cells->horizontalHeader()->length() + 48), 480);
    return dialog.exec() == QDialog::Accepted;
}

QString CQtUserPrompt::get_open_file_name(QWidget* parent, const QString& caption, const QString& folder,
                                          const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, folder, filter);
}

QString CQtUserPrompt::get_save_file_name(QWidget* parent, const QString& caption, const QString& proposed,
                                          const QString& filter)
{
    QFileDialog dialog(parent, caption, proposed, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without an extension gets the filter's, before the dialog asks
    // whether to replace a file of that name.
    dialog.setDefaultSuffix(default_suffix(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString CQtUserPrompt::get_existing_directory(QWidget* parent, const QString& caption, const QString& folder)
{
    return QFileDialog::getExistingDirectory(parent, caption, folder);
}
