#pragma once
// Tree view the style recognises and draws its own way. No behaviour of its own.

#include <QTreeView>

class VektTreeView : public QTreeView
{
    Q_OBJECT
public:
    explicit VektTreeView(QWidget* parent = nullptr) : QTreeView(parent) {}
};
