#include "settings/PermissionsOnboardingView.h"

#include "settings/KeyboardAccess.h"
#include "settings/SettingsStyle.h"
#include "settings/SettingsSymbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShortcut>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

namespace orvex {

namespace {

// The widest a card may grow before its sentences wrap: the window's content width.
constexpr int maximumCardWidth = 640;

QLabel *makeLabel(const QString &text, int pixelSize, QFont::Weight weight, QWidget *parent) {
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(SettingsStyle::font(label->font(), pixelSize, weight));
    return label;
}

} // namespace

PermissionCard::PermissionCard(const QString &title, const QString &description, const QString &buttonTitle,
                               QWidget *parent)
    : QWidget(parent) {
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    // Button titles are shown as written: an "&" is no mnemonic marker here.
    const QString shownButtonTitle = QString(buttonTitle).replace(QLatin1Char('&'), QStringLiteral("&&"));
    layout->setSpacing(10);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    layout->addWidget(makeLabel(title, 13, QFont::DemiBold, this));
    QLabel *descriptionLabel = makeLabel(description, 11, QFont::Normal, this);
    descriptionLabel->setWordWrap(true);
    SettingsStyle::useSecondaryColor(descriptionLabel);
    layout->addWidget(descriptionLabel);

    auto *statusRow = new QHBoxLayout;
    statusRow->setSpacing(8);
    statusSymbol_ = new QLabel(this);
    statusSymbol_->setFixedSize(13, 13);
    statusRow->addWidget(statusSymbol_);
    // Spoken as each outcome appears, while the focus stays on the request button.
    statusText_ = new KeyboardAccess::AccessibleLabel(QAccessible::Notification, QString(), this);
    statusText_->setTextFormat(Qt::PlainText);
    statusText_->setFont(SettingsStyle::font(statusText_->font(), 10));
    statusText_->setWordWrap(true);
    statusRow->addWidget(statusText_, 1);
    layout->addLayout(statusRow);

    button_ = new PermissionRequestButton(shownButtonTitle, this);
    button_->setAutoDefault(false);
    layout->addWidget(button_, 0, Qt::AlignLeft);
    setMaximumWidth(maximumCardWidth);
}

QString PermissionCard::symbolName(PermissionWarmupStatus::Case kind) {
    switch (kind) {
    case PermissionWarmupStatus::Case::idle:
        return QStringLiteral("circle.dashed");
    case PermissionWarmupStatus::Case::running:
        return QStringLiteral("arrow.triangle.2.circlepath");
    case PermissionWarmupStatus::Case::success:
        return QStringLiteral("checkmark.circle.fill");
    case PermissionWarmupStatus::Case::warning:
        break;
    }
    return QStringLiteral("exclamationmark.triangle.fill");
}

QColor PermissionCard::statusColor(PermissionWarmupStatus::Case kind, const QPalette &palette) {
    switch (kind) {
    case PermissionWarmupStatus::Case::idle:
        return SettingsStyle::secondaryColor(palette);
    case PermissionWarmupStatus::Case::running:
        return QColor(0, 122, 255);
    case PermissionWarmupStatus::Case::success:
        return QColor(40, 167, 69);
    case PermissionWarmupStatus::Case::warning:
        break;
    }
    return QColor(230, 126, 0);
}

void PermissionCard::setStatus(const PermissionWarmupStatus &status, bool isLoading) {
    const QColor color = statusColor(status.kind, palette());
    statusSymbol_->setPixmap(
        SettingsSymbols::pixmap(symbolName(status.kind), color, 13, devicePixelRatioF()));
    statusText_->setMessage(status.message);
    QPalette textPalette = statusText_->palette();
    textPalette.setColor(QPalette::WindowText, color);
    statusText_->setPalette(textPalette);
    // One line while it fits the card; longer sentences wrap instead of widening the window.
    const int textWidth = statusText_->fontMetrics().horizontalAdvance(status.message);
    statusText_->setMinimumWidth(std::min(textWidth + 2, maximumCardWidth - 28 - 21));
    button_->setBusy(isLoading);
    if (button_->accessibleDescription() != status.message)
        button_->setAccessibleDescription(status.message);
}

void PermissionRequestButton::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    update();
}

void PermissionRequestButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    if (busy_) {
        option.state &= ~QStyle::State_Enabled;
        option.palette.setCurrentColorGroup(QPalette::Disabled);
    }
    painter.drawControl(QStyle::CE_PushButton, option);
}

void PermissionCard::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 10, 10);
    painter.fillPath(path, palette().color(QPalette::Base));
}

PermissionsOnboardingView::PermissionsOnboardingView(std::function<void()> onContinue,
                                                     std::function<void()> onSkip, PermissionWarmups warmups,
                                                     QWidget *parent)
    : QWidget(parent), viewModel_(new PermissionsOnboardingViewModel(std::move(warmups), this)),
      onContinue_(std::move(onContinue)), onSkip_(std::move(onSkip)) {
    setMinimumSize(640, 420);

    auto *stack = new QWidget(this);
    auto *layout = new QVBoxLayout(stack);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(18);

    auto *header = new QVBoxLayout;
    header->setSpacing(6);
    header->addWidget(makeLabel(QStringLiteral("Permission Setup"), 17, QFont::DemiBold, stack));
    QLabel *intro = makeLabel(QStringLiteral("Before first use, run the checks below so your folders are "
                                             "found now instead of during search."),
                              11, QFont::Normal, stack);
    SettingsStyle::useSecondaryColor(intro);
    header->addWidget(intro);
    layout->addLayout(header);

    fileCard_ = new PermissionCard(QStringLiteral("Files & Folders"),
                                   QStringLiteral("Needed to index your directories for folder results."),
                                   QStringLiteral("Request Files & Folders Access"), stack);
    layout->addWidget(fileCard_);
    browserCard_ = new PermissionCard(QStringLiteral("Browser Automation (Edge/Brave)"),
                                      // Linux browsers list their tabs to no other program.
                                      QStringLiteral("Finds open Edge and Brave tabs where the browser lists "
                                                     "them to other programs; on Linux none does. Bookmarks "
                                                     "are found without this."),
                                      QStringLiteral("Request Browser Automation Access"), stack);
    layout->addWidget(browserCard_);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 4, 0, 0);
    skipButton_ = new QPushButton(QStringLiteral("Skip for now"), stack);
    skipButton_->setAutoDefault(false);
    buttons->addWidget(skipButton_);
    buttons->addStretch(1);
    continueButton_ = new QPushButton(QStringLiteral("Continue to Launcher"), stack);
    continueButton_->setAutoDefault(false);
    continueButton_->setDefault(true);
    // The prominent look: the accent colour behind white text, with a dark ring while it has the
    // keyboard focus (the border is there all along, so the button keeps its size).
    const QColor accent = palette().color(QPalette::Highlight);
    continueButton_->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: %1; color: white; border: 2px solid %1; border-radius: 6px; "
            "padding: 3px 12px; } QPushButton:pressed { background: %2; border-color: %2; } "
            "QPushButton:focus { border-color: %3; }")
            .arg(accent.name(), accent.darker(120).name(), accent.darker(190).name()));
    buttons->addWidget(continueButton_);
    layout->addLayout(buttons);

    // The stack spans the window's width, centred from top to bottom. Both cards take its whole width:
    // cards as wide as their own sentences came out unequal and ragged beside each other.
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 20);
    outer->addStretch(1);
    outer->addWidget(stack);
    outer->addStretch(1);

    connect(fileCard_->button(), &QPushButton::clicked, viewModel_,
            &PermissionsOnboardingViewModel::requestFileAndFolderAccess);
    connect(browserCard_->button(), &QPushButton::clicked, viewModel_,
            &PermissionsOnboardingViewModel::requestBrowserAutomationAccess);
    connect(skipButton_, &QPushButton::clicked, this, [this] {
        if (onSkip_)
            onSkip_();
    });
    connect(continueButton_, &QPushButton::clicked, this, [this] {
        if (onContinue_)
            onContinue_();
    });
    // Escape skips wherever the focus is in the window.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, skipButton_, &QPushButton::click);
    continueButton_->setFocus(Qt::OtherFocusReason);
    connect(viewModel_, &PermissionsOnboardingViewModel::stateChanged, this,
            &PermissionsOnboardingView::refresh);
    refresh();
}

void PermissionsOnboardingView::keyPressEvent(QKeyEvent *event) {
    if (KeyboardAccess::pressFocusedButton(this, *event))
        return;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        continueButton_->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PermissionsOnboardingView::refresh() {
    fileCard_->setStatus(viewModel_->fileAccessStatus(), viewModel_->isRequestingFileAccess());
    browserCard_->setStatus(viewModel_->browserAccessStatus(), viewModel_->isRequestingBrowserAccess());
}

} // namespace orvex
