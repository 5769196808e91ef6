#include "ComPort.h"

#include "SerialOpenFailure.h"
#include "textutil.h"

namespace {

constexpr char DefaultTerminator[] = "\r\n";

QSerialPort::Parity ToQtParity(TParity parity)
{
    switch (parity) {
    case ptNONE: return QSerialPort::NoParity;
    case ptODD: return QSerialPort::OddParity;
    case ptEVEN: return QSerialPort::EvenParity;
    case ptMARK: return QSerialPort::MarkParity;
    case ptSPACE: return QSerialPort::SpaceParity;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQtStopBits(TStopBit stopBits)
{
    switch (stopBits) {
    case sbONE: return QSerialPort::OneStop;
    case sbONE5: return QSerialPort::OneAndHalfStop;
    case snTWO: return QSerialPort::TwoStop;
    }
    return QSerialPort::OneStop;
}

}  // namespace

TComPort::TComPort()
    : Serial(std::make_unique<QSerialPort>())
{
    QObject::connect(Serial.get(), &QSerialPort::readyRead, Serial.get(), [this] { DataAvailable(); });
    QObject::connect(Serial.get(), &QSerialPort::errorOccurred, Serial.get(),
                     [this](QSerialPort::SerialPortError error) { DeviceError(error); });
}

TComPort::~TComPort() { Close(); }

void TComPort::Open()
{
    if (Opened)
        return;
    Serial->setPortName(QString::fromLocal8Bit(Port.data(), static_cast<qsizetype>(Port.size())));
    OpenFailure.reset();
    if (!Serial->open(QIODevice::ReadWrite)) {
        const std::string systemMessage = Serial->errorString().toLocal8Bit().toStdString();
        OpenFailure = DescribeSerialOpenFailure(Port, Serial->error(), systemMessage);
        throw EComError(CannotOpenText + Port + "\r" + systemMessage);
    }
    ApplyLineSettings();
    // A device that has no modem lines (a pseudo-terminal) refuses these; that is harmless.
    Serial->setDataTerminalReady(false);
    Serial->setRequestToSend(false);
    Serial->clear();
    Serial->clearError();
    Opened = true;
    Raise(OnPortOpen);
}

void TComPort::Close()
{
    if (!Opened)
        return;
    // Cleared first: a failure QSerialPort reports while closing is not a device error.
    Opened = false;
    Serial->close();
    Raise(OnPortClose);
}

void TComPort::SendString(std::string_view data)
{
    if (!Opened)
        return;
    // QSerialPort only buffers a write until the event loop turns; the card is
    // waiting for this line, so it goes to the device now (what the device
    // cannot take yet still leaves with the next turn).
    Serial->write(data.data(), static_cast<qint64>(data.size()));
    Serial->flush();
}

void TComPort::SetBaud(std::uint32_t baud)
{
    Baud = baud;
    if (Opened)
        ApplyLineSettings();
}

// Settings the device rejects are left as the device has them, unreported.
void TComPort::ApplyLineSettings()
{
    Serial->setBaudRate(static_cast<qint32>(Baud));
    if (DataBits >= QSerialPort::Data5 && DataBits <= QSerialPort::Data8)
        Serial->setDataBits(static_cast<QSerialPort::DataBits>(DataBits));
    Serial->setParity(ToQtParity(Parity));
    Serial->setStopBits(ToQtStopBits(StopBits));
    Serial->setFlowControl(QSerialPort::NoFlowControl);
}

std::string TComPort::GetTerminator() const
{
    std::string text;
    for (const char c : Terminator)
        text += "#" + std::to_string(static_cast<unsigned char>(c));
    return text;
}

void TComPort::SetTerminator(std::string_view text)
{
    Terminator.clear();
    if (!text.empty())
        text.remove_prefix(1);
    while (!text.empty()) {
        const std::size_t hash = text.find('#');
        std::int32_t code = 0;
        if (!StrToInt32(text.substr(0, hash), code)) {
            Terminator = DefaultTerminator;
            throw EComError(IllegalTerminatorText);
        }
        Terminator += static_cast<char>(code);
        text.remove_prefix(hash == std::string_view::npos ? text.size() : hash + 1);
    }
    // An empty terminator would match before every byte and deliver nothing but
    // empty messages, so the port keeps a usable one.
    if (Terminator.empty()) {
        Terminator = DefaultTerminator;
        throw EComError(EmptyTerminatorText);
    }
}

void TComPort::DataAvailable()
{
    const QByteArray bytes = Serial->readAll();
    if (bytes.isEmpty() || !Opened || !ReceiveCallBack)
        return;
    const std::string data(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    switch (ReceiveMode) {
    case rmRAW:
        Deliver(data);
        break;
    case rmTERM: {
        TermBuffer += data;
        // One message per arrival; a second complete one waits for the next arrival.
        const std::size_t at = TermBuffer.find(Terminator);
        if (at == std::string::npos)
            break;
        const std::string message = TermBuffer.substr(0, at + Terminator.size());
        TermBuffer.erase(0, message.size());
        Deliver(message);
        break;
    }
    }
}

// A device whose reads or writes fail is gone (unplugged, or the other end of a
// pseudo-terminal closed). QSerialPort would report the failure again at every
// turn of the event loop, so the port closes after telling its user.
void TComPort::DeviceError(QSerialPort::SerialPortError error)
{
    if (!Opened)
        return;
    if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
        error != QSerialPort::ResourceError)
        return;
    Raise(OnError);
    Close();
}

void TComPort::Deliver(const std::string& data)
{
    const TReceiveProc callback = ReceiveCallBack;
    callback(data);
}

void TComPort::Raise(const TNotifyEvent& event)
{
    if (!event)
        return;
    const TNotifyEvent handler = event;
    handler(*this);
}
