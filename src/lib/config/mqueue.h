/* The inter-process channel to a display window: short text messages over
 * System V message queues (the default transport) or a TCP connection on the
 * IPv4 loopback address, with a server side and any number of clients.
 *
 * Every message carries one leading character, "0" plus a number: from a
 * client its connection id, from the server a flag (-1 is "/", 2 is "2").
 * Ids 3 to 21 are handed out to clients; id 2 is the channel on which a new
 * client receives its id. A message holds at most MQ_MAXMSG characters after
 * the leading one; a receiving buffer (item) must hold MQ_ITEMLEN bytes. */
#ifndef KAV_MQUEUE_H
#define KAV_MQUEUE_H

#include <kav/kavdefs.h>

KAV_BEGIN_DECLS

/* Size of a queue message's text area, and how much of it travels. */
#define MQ_TEXTLEN 124
#define MQ_SENDLEN 120
/* The longest message text (leading character and terminator not counted). */
#define MQ_MAXMSG 118
/* The size a receiving buffer must have: the longest text and its terminator. */
#define MQ_ITEMLEN (MQ_MAXMSG + 1)
/* The longest socket frame: the length byte, the leading character, the text. */
#define MQ_MAXFRAME (2 + MQ_MAXMSG)

/* One queue message: the type, then the leading character, the text and its
 * terminator. */
typedef struct mqueuebuf {
  long mtype;
  char mtext[MQ_TEXTLEN];
} mqueuebuf;

/* A time-out handler: called with the alarm signal's number. */
typedef void (*MQ_handler)(int sig);

/* Reads the list resource "parameter": "to=N" (any case, the number from the
 * fourth character on) sets the time-out, "qtype=sock" selects sockets and
 * "qtype=mqueue" message queues. An item with a bad time-out is reported and
 * changes nothing; other items are ignored. Returns 0. */
KAV_API int MQ_params(void) KAV_NOEXCEPT;

/* Selects the transport: 0 message queues, 1 sockets (other values are
 * reported and ignored). Returns 0. */
KAV_API int MQ_settype(int ind) KAV_NOEXCEPT;
/* The transport in use: 0 message queues, 1 sockets. */
KAV_API int MQ_gettype(void) KAV_NOEXCEPT;
/* Sets the number added to every channel number to form the queue key or
 * the port. Returns 0. */
KAV_API int MQ_offset(int ind) KAV_NOEXCEPT;
/* Sets the time-out in seconds (values below 1 count as 1: the watchdog is
 * never disarmed). Returns 0. */
KAV_API int MQ_timeout(int val) KAV_NOEXCEPT;
/* Sets the time-out handler; null restores the default, MQ_intrp. A handler
 * that returns makes the waiting operation fail instead of ending the
 * program. Returns 0. */
KAV_API int MQ_timeout_func(MQ_handler func) KAV_NOEXCEPT;

/* Arms the watchdog: installs the time-out handler for the alarm signal
 * (remembering the previous handler) and arms an alarm of the time-out.
 * Returns 0. */
KAV_API int MQ_enable_alarm(void) KAV_NOEXCEPT;
/* Cancels the alarm. After MQ_enable_alarm it puts back the alarm handler
 * the caller had and re-arms what was left of the caller's own alarm (at
 * least a second), so that the watchdog borrows the alarm only while a wait
 * lasts. Returns 0. */
KAV_API int MQ_disable_alarm(void) KAV_NOEXCEPT;

/* The default time-out handler: prints "Queue not responding!!" as a warning
 * and ends the program with status 7. */
KAV_API void MQ_intrp(int sig) KAV_NOEXCEPT;

/* Client: opens channel num. Queues: the id of the existing queue with key
 * offset + num; -1 with errno ENOENT when no such queue exists (and for the
 * key 0, which names no shared queue); -1 with errno EACCES and a warning
 * when the queue belongs to another user (it could answer as the window);
 * -1 with another errno when the look-up fails otherwise. Sockets: connects to 127.0.0.1 on port
 * offset + num, closing any earlier client connection, waiting at most the
 * time-out: 1, or -1. */
KAV_API int MQ_open(int num) KAV_NOEXCEPT;

/* Client: asks the server for a connection id. The id (3 to 21), or -1 when
 * the server refuses or answers with something else. Waits at most the
 * time-out (then the time-out handler runs). */
KAV_API int MQ_connect(int msgqid) KAV_NOEXCEPT;

/* Client: sends one printf-style message under connection id conn_id. A
 * message longer than MQ_MAXMSG characters is refused (reported, -1). Queues:
 * 0 or -1, a full queue waits at most the time-out; sockets: the bytes sent,
 * or -1. */
KAV_API int MQ_put(int msgqid, int conn_id, const char *format, ...) KAV_NOEXCEPT
    __attribute__((format(printf, 3, 4)));

/* Client: receives one message for conn_id into item (MQ_ITEMLEN bytes),
 * waiting at most the time-out. Returns the message's flag (its leading
 * character - "0"), or -1 on failure with item empty. */
KAV_API int MQ_get(int msgqid, int conn_id, char *item) KAV_NOEXCEPT;

/* Discards every queued message of type index without waiting. With sockets
 * it does nothing. Returns 0. */
KAV_API int MQ_clear(int msgqid, int index) KAV_NOEXCEPT;

/* The first channel number from ind to ind + 49 that MQ_open finds free, or
 * -1 when all 50 are in use. */
KAV_API int MQ_find(int ind) KAV_NOEXCEPT;

/* Server: creates channel num and frees every connection slot. -2 for num
 * -1. Queues: a new queue with key offset + num, readable and writable by
 * its owner only: its id, or -1 when it exists or cannot be made. Sockets: a
 * non-blocking socket listening on 127.0.0.1, port offset + num: 1, or -1. */
KAV_API int MQ_create(int num) KAV_NOEXCEPT;

/* Server: receives the next message from any client without waiting. 1 with
 * the sender's id in *conn_id and the text in item (MQ_ITEMLEN bytes); 2 for
 * a connection request, answered here, with the new id in *conn_id (-1 for
 * queues when every id is taken: the request is then refused) and item
 * empty; 0 or a negative number when nothing was received; -1 for a
 * negative msgqid. */
KAV_API int MQ_sget(int msgqid, int *conn_id, char *item) KAV_NOEXCEPT;

/* Server: sends one printf-style message with the leading flag to client
 * conn_id. A negative flag closes the connection after the message. -1 when
 * msgqid or conn_id is negative, the id is not in use, the message is longer
 * than MQ_MAXMSG characters, or the send fails; otherwise the transport's
 * send result (0 for queues, the bytes sent for sockets). */
KAV_API int MQ_sput(int msgqid, int conn_id, int flag, const char *format, ...) KAV_NOEXCEPT
    __attribute__((format(printf, 4, 5)));

/* Queues: removes queue msgqid (when not negative). Sockets: closes both
 * sockets (a client drops its connection this way). Returns 0. */
KAV_API int MQ_del(int msgqid) KAV_NOEXCEPT;

/* Decodes one socket frame from the start of data (size bytes): a length
 * byte L from 1 to MQ_MAXMSG + 1, then L bytes, the leading character and
 * the text. On success stores the leading character - "0" in *flag, the text
 * and a terminator in item (MQ_ITEMLEN bytes) and returns the frame's size,
 * L + 1. 0 when data holds less than a whole frame; -1 when L is out of
 * range (item empty). Never reads beyond size bytes. */
KAV_API int MQ_frame_decode(const unsigned char *data, int size, int *flag,
                            char *item) KAV_NOEXCEPT;

KAV_END_DECLS

#endif
