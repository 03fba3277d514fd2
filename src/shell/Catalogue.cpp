#include "shell/Catalogue.h"

#include <stdexcept>

#include "shell/Page.h"
#include "ui/Controls.h"
#include "ui/Form.h"

namespace shell {

const CatalogueEntry kCatalogue[39] = {
    {"LangError", "Ошибка!"},
    {"LangSuccessfully", "Успешно!"},
    {"LangName", "Введите имя Сети"},
    {"LangPass", "Введите пароль Сети"},
    {"LangPrivate", "Частная"},
    {"LangPublic", "Общедоступная"},
    {"LangAttention", "Внимание!"},
    {"LangDelete", "Удалить"},
    {"LanfErrorName", "Название не изменено"},
    {"LangRename", "Переименовать сеть"},
    {"LangNetworkName", "Название сети: "},
    {"LangDeleteAllProfile", "Удалить все Профили?"},
    {"LangElements", "Элементов: "},
    {"LangStop", "Стоп"},
    {"LangTestDNS", "Тест DNS"},
    {"LangOnlyWindows", "Эта программа совместима только с Windows 10 и Windows 11."},
    {"LangSMBON", "ВКЛЮЧЕНИЕ всех настроек SMB"},
    {"LangSMBOFF", "ВЫКЛЮЧЕНИЕ всех настроек SMB"},
    {"LangInsecureGuestLogins", "Небезопасные гостевые логины..."},
    {"LangClientSecuritySignature", "Подпись безопасности клиента..."},
    {"LangServerSecuritySignature", "Подпись безопасности сервера..."},
    {"LangCheckDataSMB", "Проверка данных SMB"},
    {"LangRepairStart", "Начало комплексного ремонта интернета..."},
    {"LangRepairEnd", "Автоматическое исправление завершено"},
    {"LangRestart", "Рекомендуется перезагрузить компьютер для применения всех изменений"},
    {"LangStepNotWaited", "запущено без ожидания, результат не проверялся"},
    {"LangStartedOnly", "Запущено, но результат проверен не полностью"},
    {"LangFailedSteps", "шагов с ошибкой"},
    {"LangUncheckedSteps", "запущено без проверки"},
    {"LangJournalRepair", "Ремонт сети"},
    {"LangJournalSmbNote", "Настройки SMB вступают в силу после перезапуска служб SMB или компьютера."},
    {"LangJournalRename", "Переименование профиля сети"},
    {"LangJournalDelete", "Удаление профиля сети"},
    {"LangJournalDeleteAll", "Удаление всех профилей сети"},
    {"LangJournalProxy", "Применение прокси"},
    {"LangJournalAdapter", "Применение настроек адаптера"},
    {"LangJournalAdapterNote", "Отмена возвращает сохранённые настройки адаптера; чтобы они вступили в силу, примените их заново или перезапустите адаптер."},
    {"LangOK", "ОК"},
    {"LangCancelButton", "Отмена"},
};

void CreateCatalogue(ui::Form& form, ui::PopupMenu& menu) {
  for (const CatalogueEntry& entry : kCatalogue)
    form.Create<ui::MenuItem>(&menu, entry.name)->SetCaption(entry.text);
}

std::string Msg(const ui::Form& form, const char* name) {
  const ui::Component* item = form.Find(name);
  if (!item || item->GetKind() != ui::Kind::MenuItem)
    throw std::logic_error(std::string("no catalogue entry ") + name);
  return item->Caption();
}

std::string Page::Msg(const char* name) const { return shell::Msg(form_, name); }

}  // namespace shell
