#include "about_dialog.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStringList>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/settings_dir.h"

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fmAbout"));
    setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    auto* header = new QFrame(this);
    header->setFrameShape(QFrame::StyledPanel);
    header->setFixedHeight(63);
    auto* headerLayout = new QVBoxLayout(header);
    Panel1 = new QLabel(QStringLiteral("monitor"), header);
    QFont title = Panel1->font();
    title.setBold(true);
    title.setPixelSize(19);
    Panel1->setFont(title);
    Panel1->setAlignment(Qt::AlignCenter);
    lbSubversion = new QLabel(header);
    QFont bold = lbSubversion->font();
    bold.setBold(true);
    lbSubversion->setFont(bold);
    lbSubversion->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
    headerLayout->addWidget(Panel1);
    headerLayout->addWidget(lbSubversion);
    layout->addWidget(header);

    auto* body = new QFrame(this);
    body->setFrameShape(QFrame::StyledPanel);
    body->setMinimumSize(240, 180);
    auto* bodyLayout = new QVBoxLayout(body);
    lbVersion = new QLabel(body);
    lbVersion->setAlignment(Qt::AlignHCenter);
    Label1 = new QLabel(QStringLiteral("Author: The Tessel developers"), body);
    Label2 = new QLabel(QStringLiteral("e-mail: see the user guide"), body);
    lbSiteLink = new QLabel(QStringLiteral("User guide"), body);
    lbSiteLink->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
    lbSiteLink->setCursor(Qt::PointingHandCursor);
    lbSiteLink->setToolTip(UserGuidePath());
    lbSiteLink->installEventFilter(this);
    bodyLayout->addWidget(lbVersion);
    bodyLayout->addSpacing(8);
    bodyLayout->addWidget(Label1);
    bodyLayout->addWidget(Label2);
    bodyLayout->addWidget(lbSiteLink);
    bodyLayout->addStretch();
    layout->addWidget(body, 1);

    btOK = new QPushButton(QStringLiteral("OK"), this);
    btOK->setDefault(true);
    connect(btOK, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(btOK, 0, Qt::AlignHCenter);

    FormCreate();
    const QSize hint = sizeHint();
    setFixedSize(std::max(256, hint.width()), std::max(258, hint.height()));
}

void TfmAbout::FormCreate() {
    lbVersion->setText(QStringLiteral("Version: ") + GetVersionText());
    lbSubversion->setText(QStringLiteral("for ZLG adapter"));
}

QString TfmAbout::GetVersionText() {
#ifdef TESSEL_VERSION
    // Only the first two parts of the version are shown.
    const QStringList parts = QStringLiteral(TESSEL_VERSION).split(u'.');
    if (parts.size() >= 2)
        return parts[0] + u'.' + parts[1];
#endif
    return QStringLiteral("???");
}

// An installed monitor opens the installed guide; any other copy the guide
// of the source tree it was built from.
QString TfmAbout::UserGuidePath() {
    if (platform::RunsInstalled(platform::CurrentPlace()))
        return QStringLiteral(TESSEL_INSTALLED_USER_GUIDE);
    return QStringLiteral(TESSEL_USER_GUIDE);
}

bool TfmAbout::lbSiteLinkClick() {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(UserGuidePath()));
}

bool TfmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lbSiteLink && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lbSiteLinkClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
