#include "ui/window/SidebarProjectRow.h"

#include "state/AppState.h"
#include "ui/kit/FocusRing.h"
#include "ui/kit/SymbolIcon.h"
#include "ui/kit/Theme.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int horizontalInset = 10;
constexpr int verticalInset = 8;
constexpr int symbolWidth = 18;
constexpr int symbolSpacing = 9;
constexpr int nameBadgeSpacing = 6;
constexpr int lineSpacing = 2;

int firstLineHeight()
{
    return qMax(QFontMetrics(Theme::body()).height(), RepositoryBadge::size(RepositoryKind::svn).height());
}

} // namespace

QFont RepositoryBadge::font()
{
    // caption2 is the caption size on the desktop.
    return Theme::font(Theme::captionSize, QFont::DemiBold);
}

QSize RepositoryBadge::size(RepositoryKind kind)
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(displayName(kind)) + 10, metrics.height() + 4};
}

void RepositoryBadge::paint(
    QPainter &painter, const QPointF &topLeft, RepositoryKind kind, const QPalette &palette, const QColor &row)
{
    const QRectF box(topLeft, size(kind));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(box, 5, 5);
    const QColor fill = Theme::tint(palette, 0.08);
    painter.fillPath(shape, fill);
    painter.setFont(font());
    // Its small letters on the faint box of a selected row need more than the secondary colour gives.
    painter.setPen(
        Theme::standingOut(Theme::secondary(palette), Theme::composite(fill, row), Theme::smallTextContrast));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, displayName(kind));
    painter.restore();
}

SidebarProjectRow::SidebarProjectRow(AppState &state, const Project &project, QWidget *parent)
    : QAbstractButton(parent), m_state(state), m_project(project)
{
    setObjectName(QStringLiteral("projectRow"));
    // Reached with Tab when it is the list's stop (the sidebar decides); a click leaves the focus where
    // the user works.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setToolTip(QString());
    connect(this, &QAbstractButton::clicked, this, &SidebarProjectRow::choose);
}

void SidebarProjectRow::setProject(const Project &project)
{
    if (project == m_project)
        return;
    m_project = project;
    update();
}

bool SidebarProjectRow::isSelected() const
{
    return m_state.selectedProjectID() && *m_state.selectedProjectID() == m_project.id;
}

void SidebarProjectRow::choose()
{
    if (isSelected())
        return;
    m_state.setSelectedProjectID(m_project.id);
    m_state.projectSelectionChanged();
}

int SidebarProjectRow::textLeft() const
{
    return horizontalInset + symbolWidth + symbolSpacing;
}

int SidebarProjectRow::contentTop() const
{
    const int contentHeight = firstLineHeight() + lineSpacing + QFontMetrics(Theme::caption()).height();
    return (height() - contentHeight) / 2;
}

QString SidebarProjectRow::shownName() const
{
    const int available = width() - textLeft() - horizontalInset;
    const int room = qMax(0, available - nameBadgeSpacing - RepositoryBadge::size(m_project.kind).width());
    return QFontMetrics(Theme::body()).elidedText(m_project.name, Qt::ElideRight, room, Qt::TextSingleLine);
}

QRectF SidebarProjectRow::badgeRect() const
{
    return badgeRect(shownName());
}

QRectF SidebarProjectRow::badgeRect(const QString &name) const
{
    const QSize badge = RepositoryBadge::size(m_project.kind);
    const int left = textLeft() + QFontMetrics(Theme::body()).horizontalAdvance(name) + nameBadgeSpacing;
    return {QPointF(left, contentTop() + (firstLineHeight() - badge.height()) / 2.0), QSizeF(badge)};
}

QString SidebarProjectRow::displayedPath() const
{
    const int available = width() - textLeft() - horizontalInset;
    return QFontMetrics(Theme::caption()).elidedText(m_project.path, Qt::ElideMiddle, available, Qt::TextSingleLine);
}

QSize SidebarProjectRow::sizeHint() const
{
    const int height
        = verticalInset + firstLineHeight() + lineSpacing + QFontMetrics(Theme::caption()).height() + verticalInset;
    return {textLeft() + 160 + horizontalInset, height};
}

QSize SidebarProjectRow::minimumSizeHint() const
{
    return {textLeft() + horizontalInset, sizeHint().height()};
}

void SidebarProjectRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();

    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 8, 8);
    const QColor fill = Theme::tint(pal, isSelected() ? 0.11 : 0.018);
    painter.fillPath(shape, fill);
    const QColor row = Theme::composite(fill, pal.color(QPalette::Window));
    if (hasFocus())
        FocusRing::paint(painter, QRectF(rect()), 8, pal, row);

    const QFontMetrics captionMetrics(Theme::caption());
    const int lineOne = firstLineHeight();
    const int top = contentTop();

    const QPixmap folder = symbolPixmap(QStringLiteral("folder"), Theme::blue(pal), symbolWidth, devicePixelRatioF());
    painter.drawPixmap(horizontalInset, (height() - symbolWidth) / 2, folder);

    const int left = textLeft();
    const int available = width() - left - horizontalInset;
    const QString name = shownName();
    painter.setFont(Theme::body());
    painter.setPen(pal.color(QPalette::WindowText));
    painter.drawText(QRect(left, top, QFontMetrics(Theme::body()).horizontalAdvance(name) + 1, lineOne),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, name);
    RepositoryBadge::paint(painter, badgeRect(name).topLeft(), m_project.kind, pal, row);

    painter.setFont(Theme::caption());
    painter.setPen(Theme::secondary(pal));
    painter.drawText(QRect(left, top + lineOne + lineSpacing, available, captionMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip, displayedPath());
}

void SidebarProjectRow::keyPressEvent(QKeyEvent *event)
{
    if (event->modifiers() & ~Qt::KeypadModifier) {
        QAbstractButton::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        choose();
        return;
    default:
        QAbstractButton::keyPressEvent(event);
    }
}
