#include "CMessageOutput.h"

#include "CMessageListBox.h"
#include "common/Codec.h"

CMessageOutput::CMessageOutput(CMessageListBox *list, QLabel *statusLine)
    : list_(list)
    , statusLine_(statusLine)
{
}

void CMessageOutput::AddMessage(const std::string &gbkText, bool toStatusLine)
{
    if (toStatusLine) {
        if (statusLine_)
            statusLine_->setText(Gbk::toQString(gbkText));
    } else if (list_) {
        list_->AppendMessage(gbkText);
    }
}
