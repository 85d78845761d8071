#include "support/fake_controls.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

static FakeDialog &Dialog(void *dialog)
{
    return *static_cast<FakeDialog *>(dialog);
}

static void GetText(void *dialog, int id, char *text, int size)
{
    const std::string &value = Dialog(dialog).texts[id];
    size_t count = std::min(value.size(), static_cast<size_t>(size - 1));
    memcpy(text, value.data(), count);
    text[count] = '\0';
}

static void SetText(void *dialog, int id, const char *text)
{
    Dialog(dialog).texts[id] = text;
}

static int GetCheck(void *dialog, int id)
{
    return Dialog(dialog).checks[id];
}

static void SetCheck(void *dialog, int id, int checked)
{
    Dialog(dialog).checks[id] = checked;
}

static int ListGetLine(void *dialog, int, int index, char *text, int size)
{
    FakeDialog &d = Dialog(dialog);
    if (index < 0 || index >= static_cast<int>(d.list.size()))
        return kListError;
    const std::string &line = d.list[index];
    size_t count = std::min(line.size(), static_cast<size_t>(size - 1));
    memcpy(text, line.data(), count);
    text[count] = '\0';
    return static_cast<int>(count);
}

static int ListFindExact(void *dialog, int, const char *text)
{
    FakeDialog &d = Dialog(dialog);
    for (size_t i = 0; i < d.list.size(); ++i)
        if (strcasecmp(d.list[i].c_str(), text) == 0)
            return static_cast<int>(i);
    return kListError;
}

static int ListAdd(void *dialog, int, const char *text)
{
    FakeDialog &d = Dialog(dialog);
    auto place = std::upper_bound(d.list.begin(), d.list.end(), std::string(text),
                                  [](const std::string &a, const std::string &b) {
                                      return strcasecmp(a.c_str(), b.c_str()) < 0;
                                  });
    return static_cast<int>(d.list.insert(place, text) - d.list.begin());
}

static int ListGetSelection(void *dialog, int)
{
    return Dialog(dialog).selection;
}

static int ListDelete(void *dialog, int, int index)
{
    FakeDialog &d = Dialog(dialog);
    if (index < 0 || index >= static_cast<int>(d.list.size()))
        return kListError;
    d.list.erase(d.list.begin() + index);
    if (d.selection == index)
        d.selection = kListError;
    else if (d.selection > index)
        --d.selection;
    return static_cast<int>(d.list.size());
}

static void ListSelect(void *dialog, int, int index)
{
    FakeDialog &d = Dialog(dialog);
    d.selection = index >= 0 && index < static_cast<int>(d.list.size()) ? index : kListError;
}

static void ListReset(void *dialog, int)
{
    Dialog(dialog).list.clear();
    Dialog(dialog).selection = kListError;
}

static void ShowError(void *dialog, const char *text, const char *title)
{
    Dialog(dialog).messages.push_back({text, title});
}

static void EndDialog(void *dialog, int result)
{
    Dialog(dialog).endedWith = result;
}

const DialogControls *FakeDialog::Controls() const
{
    static const DialogControls controls = {
        GetText, SetText, GetCheck, SetCheck, ListGetLine, ListFindExact, ListAdd,
        ListGetSelection, ListDelete, ListSelect, ListReset, ShowError, EndDialog};
    return &controls;
}
