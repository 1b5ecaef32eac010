#pragma once
// A dialog of URLs the user adds one at a time, each checked as it is added (the reason under the
// field when it is refused) and written as the program writes it again, so the same URL twice is one;
// a fixed first row may stand above them. The window's sources and forwarding targets are such lists.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QBoxLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class UrlListDialog : public QDialog {
    Q_OBJECT
public:
    // refusal: the reason a URL may not be added, empty for one that may; it is given as the user
    // typed it, and the canonical text of a good one is what the list keeps.
    using RefusalFn = QString (*)(const QString& url);
    UrlListDialog(QWidget* parent, const QString& intro, const QString& example, const QString& addCaption,
                  const QStringList& urls, RefusalFn refusal, const QString& fixed = {});
    QStringList Urls() const; // the added ones, without the fixed row
    // Shows the dialog through show (exec, or a test's own hand); true when it was accepted, a URL
    // still in the field taken as added.
    bool Answered(const std::function<void()>& show);

    // Adds the URL in the field; false, with the reason under it, when it may not be added.
    bool AddUrl();
    void RemoveUrl();

    QListWidget* List() const { return list_; }
    QLineEdit* UrlEdit() const { return url_; }
    QLabel* Problem() const { return problem_; }

protected:
    // Where a subclass puts its own rows: below the list, above the buttons.
    QBoxLayout* Rows() const { return rows_; }

private:
    RefusalFn refusal_;
    bool fixed_;
    QListWidget* list_;
    QLineEdit* url_;
    QLabel* problem_;
    QPushButton* remove_;
    QBoxLayout* rows_;
};
