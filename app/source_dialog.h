#pragma once
// "Quellen": what the next runs read besides the serial port, which stays the first source and the
// default: UDP listeners, TCP servers and broker topics, as URLs. A password never goes into a URL.

#include "app/url_list_dialog.h"

class SourceDialog : public UrlListDialog {
    Q_OBJECT
public:
    // port: the serial port as the list's first row names it.
    SourceDialog(QWidget* parent, const QString& port, const QStringList& sources);
    // The reason a URL is no source the window reads besides its port, empty for a good one.
    static QString Refusal(const QString& url);
};
