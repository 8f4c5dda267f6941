#pragma once

#include <QWidget>

class QLabel;
class QLayout;
class QScrollArea;
class QVBoxLayout;

namespace orvex {

// One section of a grouped settings form: a header line above a rounded card that holds the section's
// rows, top to bottom. The sections of the settings window derive from it.
class SettingsFormSection : public QWidget {
    Q_OBJECT

public:
    explicit SettingsFormSection(const QString &header, QWidget *parent = nullptr);

    QString header() const;
    void addRow(QWidget *row);
    void addRow(QLayout *row);

protected:
    QVBoxLayout *rows() const { return rows_; }

private:
    QLabel *header_;
    QWidget *card_;
    QVBoxLayout *rows_;
};

// A grouped form: sections stacked in a vertical scroll area, top-aligned.
class SettingsForm : public QWidget {
    Q_OBJECT

public:
    explicit SettingsForm(QWidget *parent = nullptr);

    // Appends a section (taking it from any other form). A section with a stretch takes the height the
    // form has to spare instead of leaving it empty below the last section.
    void addSection(SettingsFormSection *section, int stretch = 0);
    // Takes every section out of the layout without deleting it; the caller adds each to a form again.
    void releaseSections();
    // The name a screen reader gives the scrolling area.
    void setScrollAreaName(const QString &name);

private:
    QScrollArea *scroll_;
    QWidget *content_;
    QVBoxLayout *sections_;
};

} // namespace orvex
