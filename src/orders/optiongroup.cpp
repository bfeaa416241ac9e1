#include "orders/optiongroup.h"

OptionGroup::OptionGroup(QObject *parent)
    : QObject(parent)
{
}

bool OptionGroup::isStored() const
{
    return !m_description.isEmpty() && !m_optionGroup.endsWith(QLatin1Char('-'));
}

QString OptionGroup::storedCode() const
{
    int at = m_descList.indexOf(m_description);
    if (at >= 0 && !m_descList.isEmpty() && m_descList.first().isEmpty())
        --at;
    if (at >= 0 && at < codes.size())
        return codes.at(at);
    return code;
}

OptionGroup *OptionGroup::clone(QObject *parent) const
{
    auto *copy = new OptionGroup(parent);
    copy->m_optionGroup = m_optionGroup;
    copy->m_description = m_description;
    copy->m_price = m_price;
    copy->m_manualPrice = m_manualPrice;
    copy->m_multiple = m_multiple;
    copy->m_descList = m_descList;
    copy->m_isReqd = m_isReqd;
    copy->m_isMulti = m_isMulti;
    copy->m_isAdded = m_isAdded;
    copy->m_notes = m_notes;
    copy->m_optsCalcMap = m_optsCalcMap;
    copy->codes = codes;
    copy->code = code;
    copy->extraCode = extraCode;
    copy->margin = margin;
    return copy;
}
