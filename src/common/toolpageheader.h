#pragma once

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;

// The header row every tool page starts with: "< Back", 10 px, the page title, a stretch.
// The page forwards backButton()'s click to its own backRequested signal; a page that needs
// more in the row (the PDF tools) appends to row() after the stretch.
class ToolPageHeader : public QWidget
{
    Q_OBJECT

public:
    ToolPageHeader(const QString &backText, const QString &title, QWidget *parent);

    QPushButton *backButton() const { return m_backButton; }
    QLabel *titleLabel() const { return m_title; }
    QHBoxLayout *row() const { return m_row; }

private:
    QHBoxLayout *m_row = nullptr;
    QPushButton *m_backButton = nullptr;
    QLabel *m_title = nullptr;
};
