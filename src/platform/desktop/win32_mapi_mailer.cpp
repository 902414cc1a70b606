#include "platform/desktop/win32_mapi_mailer.h"

#include <windows.h>
#include <mapi.h>

#include "platform/win32_error.h"

namespace korvane {

namespace {

QString readDefaultValue(HKEY root, const wchar_t* key) {
  wchar_t buffer[256] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(root, key, nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
  return QString::fromWCharArray(buffer).trimmed();
}

// Simple MAPI takes text in the system's ANSI code page (932 on a Japanese Windows).
QByteArray ansi(const QString& text) {
  const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
  const int length = static_cast<int>(text.size());
  if (length == 0) return QByteArray("");
  const int size = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  QByteArray bytes(size, '\0');
  WideCharToMultiByte(CP_ACP, 0, wide, length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}

const QString kNoClient = QStringLiteral(
    "メールソフトが登録されていません。既定のメールソフト（Simple MAPI に対応したもの）を設定してください"
    " / no mail program is registered for Simple MAPI");

}  // namespace

MapiMailer::MapiMailer(ClientLookup lookup) : lookup_(std::move(lookup)) {}

QString MapiMailer::registeredMailClient() {
  const wchar_t* key = L"SOFTWARE\\Clients\\Mail";
  QString name = readDefaultValue(HKEY_CURRENT_USER, key);
  if (name.isEmpty()) name = readDefaultValue(HKEY_LOCAL_MACHINE, key);
  return name;
}

QString MapiMailer::mapiErrorText(unsigned long code) {
  switch (code) {
    case MAPI_E_USER_ABORT: return QStringLiteral("送信が取り消されました / cancelled");
    case MAPI_E_LOGIN_FAILURE: return QStringLiteral("メールソフトにログオンできません / logon failed");
    case MAPI_E_INSUFFICIENT_MEMORY: return QStringLiteral("メモリが足りません / not enough memory");
    case MAPI_E_UNKNOWN_RECIPIENT:
    case MAPI_E_AMBIGUOUS_RECIPIENT:
    case MAPI_E_INVALID_RECIPS: return QStringLiteral("宛先が正しくありません / unknown recipient");
    case MAPI_E_NETWORK_FAILURE: return QStringLiteral("ネットワークに接続できません / network failure");
    case MAPI_E_NOT_SUPPORTED: return QStringLiteral("メールソフトがこの送り方に対応していません / not supported");
    default: return QStringLiteral("メールを送信できません / the mail program failed");
  }
}

std::optional<MailError> MapiMailer::send(const MailMessage& message) {
  if (const auto invalid = validateMailAddress(message.to)) return invalid;
  if (lookup_ && lookup_().isEmpty()) return MailError{kMailErrNoClient, kNoClient};

  HMODULE mapi = LoadLibraryW(L"MAPI32.DLL");
  if (!mapi) return MailError{kMailErrNoClient, kNoClient + QStringLiteral("\r\nMAPI32.DLL: ") + win32ErrorText(GetLastError())};
  auto sendMail = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(mapi, "MAPISendMail")));
  if (!sendMail) {
    FreeLibrary(mapi);
    return MailError{kMailErrNoClient, kNoClient};
  }
  QByteArray address = "SMTP:" + ansi(message.to);
  QByteArray subject = ansi(message.subject);
  QByteArray body = ansi(message.body);
  MapiRecipDesc recipient{};
  recipient.ulRecipClass = MAPI_TO;
  recipient.lpszName = address.data() + 5;
  recipient.lpszAddress = address.data();
  MapiMessage mail{};
  mail.lpszSubject = subject.data();
  mail.lpszNoteText = body.data();
  mail.nRecipCount = 1;
  mail.lpRecips = &recipient;
  // No MAPI_DIALOG: nothing asks the operator; no MAPI_LOGON_UI: the client's saved logon applies.
  const ULONG result = sendMail(0, 0, &mail, 0, 0);
  FreeLibrary(mapi);
  if (result == SUCCESS_SUCCESS) return std::nullopt;
  return MailError{kMailErrProgramFailed, QStringLiteral("Simple MAPI %1: %2").arg(result).arg(mapiErrorText(result))};
}

std::unique_ptr<Mailer> makeSystemMailer(EventPump*) { return std::make_unique<MapiMailer>(); }

}  // namespace korvane
