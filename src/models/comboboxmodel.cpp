#include "comboboxmodel.h"

ComboBoxModel::ComboBoxModel(QObject *parent, const QString &name)
    : QObject(parent)
    , m_name(name)
{
}

QString ComboBoxModel::addEntry()
{
    return tr("add...");
}

void ComboBoxModel::setComboList(const QStringList &list)
{
    if (m_comboList.isSharedWith(list) || m_comboList == list)
        return;
    m_comboList = list;
    const int oldCount = m_count;
    m_count = m_comboList.count();
    emit comboListChanged();
    if (m_count != oldCount)
        emit countChanged();
}

QString ComboBoxModel::element(int pos) const
{
    return m_comboList.value(pos);
}

void ComboBoxModel::addElement(const QString &element)
{
    if (m_comboList.contains(element))
        return;
    const int addPos = m_comboList.indexOf(addEntry());
    if (addPos >= 0)
        m_comboList.insert(addPos, element);
    else
        m_comboList.append(element);
    m_count = m_comboList.count();
    emit comboListChanged();
    emit countChanged();
}

void ComboBoxModel::removeElement(int index)
{
    if (index < 0 || index >= m_comboList.count())
        return;
    m_comboList.removeAt(index);
    m_count = m_comboList.count();
    emit comboListChanged();
    emit countChanged();
}

int ComboBoxModel::index(const QString &element) const
{
    return m_comboList.indexOf(element);
}

bool ComboBoxModel::set_currentIndex(int index)
{
    if (m_currentIndex == index)
        return false;
    m_currentIndex = index;
    emit currentIndexChanged(m_currentIndex);
    return true;
}
