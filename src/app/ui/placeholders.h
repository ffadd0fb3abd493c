// Stand-ins for the panels whose subsystems have not landed yet. Each says
// plainly what it stands for; the view holds them under the names the real ones
// take, so that each is swapped for its real class in one place.
#pragma once

#include <QFrame>

namespace smt {

// A panel placeholder: a framed area with the name of the panel it stands for.
class PlaceholderPanel : public QFrame {
    Q_OBJECT
public:
    PlaceholderPanel(const QString& className, const QString& role, QSize preferred, QWidget* parent);
    QSize sizeHint() const override { return m_preferred; }
    const QString& ClassName() const { return m_className; }

private:
    QString m_className;
    QSize m_preferred;
};

} // namespace smt
