// The bytes a save writes: the document in its own encoding, mark and line
// ends. A character the encoding cannot hold is never written as "?" or as
// a substitute byte: the user chooses UTF-8 instead, or nothing is written.
#include "docinfo.h"
#include "questions.h"
#include "textfile.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>

// The form the bytes are in goes to *form: the document takes it once they
// are written.
bool encode_for_save(QWidget *parent, QTextEdit *editor, const QString &name, QByteArray *bytes,
                     textfile::Form *form)
{
    const docinfo *doc = docinfo::of(editor);
    *form = doc->form;
    const QString text = textfile::documentText(*editor->document());
    qsizetype at = -1;
    *bytes = textfile::encode(text, *form, &at);
    if (at < 0)
        return true;
    const QString character = text.mid(at, text.at(at).isHighSurrogate() ? 2 : 1);
    const QString code =
        QString::number(character.toUcs4().value(0), 16).toUpper().rightJustified(4, u'0');
    QMessageBox box(QMessageBox::Warning,
                    QCoreApplication::translate("fp", "Enregistrer le fichier"),
                    QCoreApplication::translate(
                        "fp", "Le caractère «\u00A0%1\u00A0» (U+%2) ne peut pas être enregistré en "
                              "%3. Enregistrer le fichier en UTF-8 à la place\u00A0?")
                        .arg(character, code, textfile::charsetName(doc->form)),
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)
        ->setText(QCoreApplication::translate("fp", "Enregistrer en UTF-8"));
    box.button(QMessageBox::No)->setText(QCoreApplication::translate("fp", "Annuler"));
    // Only a deliberate answer changes the file's encoding.
    box.setDefaultButton(QMessageBox::No);
    box.setInformativeText(name);
    if (answer(box) != QMessageBox::Yes)
        return false;
    // UTF-8 holds every character; the line ends stay the file's.
    form->charset = textfile::Charset::Utf8;
    form->mark = false;
    *bytes = textfile::encode(text, *form, &at);
    return true;
}
