#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// The texts of one choice list of the interface with its current entry. Lists
// the user may extend end with the entry "add...", which opens a dialog.
class ComboBoxModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int currentIndex READ currentIndex WRITE set_currentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(QStringList comboList READ comboList WRITE setComboList NOTIFY comboListChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    explicit ComboBoxModel(QObject *parent = nullptr, const QString &name = QString());

    // The entry that lets the user add an entry of their own.
    static QString addEntry();

    QString name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }

    int currentIndex() const { return m_currentIndex; }
    QStringList comboList() const { return m_comboList; }
    void setComboList(const QStringList &list);
    int count() const { return m_count; }

    // The text at pos, or the empty text when pos is out of range.
    QString element(int pos) const;

    Q_INVOKABLE void addElement(const QString &element);
    Q_INVOKABLE void removeElement(int index);
    Q_INVOKABLE int index(const QString &element) const;

public slots:
    bool set_currentIndex(int index);

signals:
    void currentIndexChanged(int currentIndex);
    void comboListChanged();
    void countChanged();

private:
    int m_currentIndex = -1;
    QString m_name;
    QStringList m_comboList;
    int m_count = 0;
};
