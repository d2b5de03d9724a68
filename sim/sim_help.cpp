#include "sim/sim_help.h"

#include "sim/control_commands.h"

namespace velka::sim {

namespace {

constexpr const char* kUsage = R"HELP(Usage: velka-sim [OPTION]...
A simulated Velka cash register on a pseudo-terminal. The first line on standard output is
the path of the terminal a control opens; printed paper and replies of the command channel
follow. SIGTERM or SIGINT ends it cleanly (exit status 0). When a control closes the
terminal, the register keeps serving: a new control can open the same path again.

Options:
  --baud 0|9600|115200   pace the line at this speed, 10 bits a byte, both ways: answers
                         leave at that pace, a frame counts as received when its last byte
                         would have arrived (default 9600; 0 answers at once)
  --com N                link the terminal as com<N> in $XDG_CONFIG_HOME/TMV SPA/ports/
                         (default ~/.config); an earlier link is replaced; the link is
                         removed at the end
  --log FILE             transcript of every byte in and out, with times in seconds:
                           12.345 < STX 01 002 N ?d 3 17 ETX     from the control
                           12.346 > ACK                          to the control
                           12.346 # ...                          what the register made of it
  --paper FILE           print the paper into FILE instead of standard output
  --record FILE          what the register carried out, one line each (appended):
                           exec =R1/$1.5/(CAFFE)       a command carried out
                           refuse 7 =k                 refused with that register error
                           hold =R1/$1/(PANE)          held until a condition is cleared
                           receipt 0012 closed         the command ended receipt 12 (paid);
                           receipt 0013 cancelled      "cancelled" for =k
  --control PATH         create the FIFO PATH and read channel commands from it, one a
                         line (echo "cover open" > PATH); removed at the end
  --answer-gap MS        longest wait for the control's verdict between two answer frames
                         of one command (default 200)
  --clock DDMMYYYYHHMMSS start the register's clock there (default: the computer's clock)
  --help                 this text
  --version              the version
Faults at start (the same as the channel commands below):
  --cover-open  --paper-out  --error105  --error N[:COUNT]  --nack N  --noack
  --badbcc N  --pause MS  --silence  --loseack N  --loseanswer N

Channel commands (--control FIFO):
)HELP";

constexpr const char* kLayouts = R"HELP(
The line:
  Command frame: STX "01" LLL kind text sequence-digit check ETX, L = 0..999, kind "N" or
  "V", check = XOR of STX..sequence digit as two upper-case hex digits. Bytes between frames
  are skipped. A bad frame (length field not the text's length, kind not N/V, sequence not
  a digit, wrong or lower-case check, no ETX within 1010 bytes) gets NACK; a frame cut
  short by a new STX gets nothing. A "V" frame is executed and gets no reply at all.
  An "N" frame gets ACK, then its answer. A frame with the sequence digit of the last frame
  executed is a retransmission, whatever its text: it is answered again from the stored
  answer, not executed. The digit is kept when the control closes the line (a register never
  learns that its host has gone), so a control that starts again with the digit of the last
  frame gets that frame's answer for its first command. Frames of one answer that
  follow each other wait for the control's ACK, or for the answer gap; a NACK from the
  control for an answer gets it again (twice at most), and so does an answer sent with a
  wrong check (badbcc) that gets no verdict within the gap.

Answer frame: STX "01" DDD "N" data-field check ETX (DDD = length of the data field, the
check = XOR of STX..last data byte). The first character of the data field is its kind.

Status answers ("O" and "E"), 21 bytes, data field of 11 characters:
  offset 7      "O" done, "E" refused
  offset 8      condition: "C" cover open, "P" paper out, "R" register error, "-" none
  offsets 9-12  register error number, four digits ("0000" in an "O" answer)
  offset 13     "0"
  offset 14     document: "0" none, "1" fiscal receipt open, "2" payment incomplete,
                "4" receipt ending (only in the answer to the payment or =k that ended it),
                "9" non-fiscal document open
  offset 15     "1": a further answer follows ("O"), or a report follows when the condition
                is cleared ("E"); else "0"
  offset 16     sequence digit of the command answered
  offset 17     "0"
  Example: the answer to =R1/$1.5/(CAFFE) sent with sequence digit 3, first sale of a
  receipt:  STX 01 011 N O-000001030 <check> ETX
  Conditions: cover open "E" C 0103 1, paper out "E" P 0104 1, error 105 "E" R 0105 1. The
  command that met the condition is held; when the condition is cleared it is executed and
  its report is an "O" status with "0" at 15. Commands that print nothing (requests,
  settings, key positions, =K) are answered as usual meanwhile.
  Register errors: "E" R NNNN 0, e.g. 7 sequence, 9 wrong key position, 11 malformed field,
  19 unknown command, 1 unknown request, 3/5 below/above a limit, 6 too long, 12 more than
  two decimals, 21 amount over the maximum, 32 discount over the amount, 33 amount missing,
  35 more than the rest with a payment type that gives no change, 37 VAT code, 38 nothing
  to cancel, 39 refund over the receipt, 101 date or time not valid, 901 journal full.
  Reports (=C10, and the closing =S of a range report) answer "O" with "1" at 15 while
  printing, then "O" with "0" at 15.

Data answers: STX 01 DDD N kind data check ETX; the control's answer data is the data field
without its first character. The kind echoes the request code:
  "<</"    I  VELKA SIM 1.0 VS00000001
  "<</?s"  s  12 characters, positions from 1:
              1-2  "00" ready, "01" cover open, "02" paper out, "03" error 105
              3-4  "01" documents today not yet closed by a Z report, else "00"
              5-6  "00" no document, "01" fiscal receipt open, "02" payment incomplete,
                   "03" non-fiscal document open
              7-8  key position "01" sales, "02" X, "03" Z, "04" fiscal memory
              9-12 number of the last receipt closed today (0000 after a Z report)
  "<</?d"  d  dd/mm/yy hh:mm:ss (day 1-2, month 4-5, year 7-8, hours 10-11, minutes 13-14)
  "<</?0"  0  serial number VS00000001
  "<</?1"  1  day: receipts(4) cancelled(4) non-fiscal(4) total in cents(12)
  "<</?5"  5  VAT rates 1..6 in hundredths of a percent, 4 digits each
  "<</?7"  7  day totals by payment type 1..5, cents, 12 digits each
  "<</?8"  8  day totals by VAT code 1..6, cents, 12 digits each
  "<</?k"  k  Z reports(4) last receipt(4) grand total in cents(14)
  "<</?r"  r  current receipt: lines(3) total(12) paid(12) document digit
  "<</?u"  u  last receipt: number(4) total(12) P paid / A cancelled, dd/mm/yy hh:mm:ss
  "<</?S"  S  the last ">>/?S" setting received
Data lines:
  "<</?m"  the electronic journal of the day: ACK, after 50 ms a stream of lines of 32
           characters each ended by CR LF (a heading, every fiscal line printed since the
           last Z report, "FINE GI.EL."), then the closing "O" status answer.
  "<</?f"  the fiscal memory as "|" data answers: "|MF VS00000001 Z nnnn", then one
           "|Znnnn ddmmyy receipts(4) total(12)" for each of the latest 20 Z reports, then
           the closing "O" status answer.

Commands executed:
  =R[v]/$price[/*qty][/(text)]  sale line (opens a receipt), VAT code v 1..6 (default 1)
  =r, =s        the next sale line is a refund / cancels an item sold in this receipt
  =V[+]/$amount[/(text)], =%[+]/*percent[/(text)]
                discount (surcharge with +) of the last item, or of the subtotal just printed
  =S[/$amount]  subtotal
  =T[t][/$amount][/(text)]  payment, type t 1..5 (1 cash, 2 not paid, 3 cheque, 4 card,
                5 voucher), after at least one sale line; no amount: the rest; only cash
                gives change; the payment that reaches the total closes the receipt and
                advances its number; the answer to it carries "4" at offset 14
  =k[/(text)]   cancel the receipt (its number advances too; "4" at offset 14); refused
                with error 7 once a payment has been taken (document digit 2)
  ="/(text)     message line: in a receipt (also after it was paid) or a non-fiscal
                document; with no document open it opens a fiscal receipt
  =o, =c        open, close a non-fiscal document
  =K            clear the error (ends the error 105 condition and a pending =r or =s)
  =C1 sales, =C2 X, =C3 Z, =C4 fiscal memory: key positions; =C10 prints the X report in
                X, the Z report in Z (the Z report resets the day's counters, its receipt
                numbers and journal, and is kept in the fiscal memory)
  =C4 then =401 (dates) or =402 (Z numbers), =Sbound, =Sbound, =S: fiscal memory report
                (dates DDMMYY; number range end 0: up to the last)
  >>/?H/$n/(text)[/*2]  header line n 1..6 (double width with /*2)
  >>/?V/$n/*rate        VAT rate n 1..6 in hundredths of a percent
  >>/?d/$DDMMYY/*HHMMSS set the clock (not before the last Z report)
  >>/?S..., =W...       frames without acknowledgement: kept / shown, no reply
)HELP";

}  // namespace

std::string HelpText() {
  std::string text = kUsage;
  for (const ControlCommandInfo& command : ControlCommands()) {
    std::string syntax = command.syntax;
    if (syntax.size() < 22) syntax.resize(22, ' ');
    text += "  " + syntax + " " + command.meaning + "\n";
  }
  text += kLayouts;
  return text;
}

}  // namespace velka::sim
