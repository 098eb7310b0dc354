// The command-line host's scripts: a step that does not give what its expect line says stops the run, so that the
// built-in demo's expect lines are checks that can fail; each kind of expectation is tried holding and not holding.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

struct HostRun {
  int status;
  std::string output;
};

// qzhost with the script, against the OCI stand-in's data source HOSTTEST; `environment` goes before the command.
HostRun RunScript(const std::string& script, const std::string& environment = "") {
  // One file per process: runs of this program in other builds on the machine write theirs at the same time.
  const std::string path = ::testing::TempDir() + "qzhost_script_" + std::to_string(::getpid()) + ".qzs";
  std::ofstream(path) << script;
  const std::string command =
      environment + " QZOCI_DATA_SOURCES=HOSTTEST " + QZ_HOST_PATH + " --driver " + QZ_DRIVER_PATH + " " + path + " 2>&1";
  HostRun run{-1, ""};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  run.status = pclose(pipe);
  std::remove(path.c_str());
  return run;
}

const char* const kTable =
    "start\n"
    "connect HOSTTEST SYSTEM manager\n"
    "sql CREATE TABLE T (ID NUMBER(10) NOT NULL, NAME VARCHAR2(10))\n"
    "sql CREATE UNIQUE INDEX T_ID ON T (ID)\n"
    "describe T\n"
    "open\n"
    "set ID=1 NAME=one\n"
    "add\n";

TEST(QzhostScript, AnExpectLineThatDoesNotHoldStopsTheRun) {
  struct Case {
    const char* steps;  // after the table's
    bool holds;
    const char* shown;  // what the host prints when it stops
    const char* environment = "";
  };
// A unique key over two columns that allow NULL: (1, 1) and three rows NULL in both, added out of ID order.
#define UNIQUE_PAIR                                                                                                 \
  "sql CREATE TABLE U (ID NUMBER(5) NOT NULL, A NUMBER(5), B NUMBER(5))\nsql CREATE UNIQUE INDEX U_ID ON U (ID)\n" \
  "sql CREATE UNIQUE INDEX U_AB ON U (A, B)\nsql INSERT INTO U VALUES (7, NULL, NULL)\n"                          \
  "sql INSERT INTO U VALUES (6, NULL, NULL)\nsql INSERT INTO U VALUES (1, 1, 1)\n"                                 \
  "sql INSERT INTO U VALUES (5, NULL, NULL)\nsql COMMIT\ndescribe U\nopen\n"
  const Case cases[] = {
      {"expect 1\n", true, ""},
      {"expect 0\n", false, "expected 0, got 1"},
      {"expect ID=1 NAME=one\n", true, ""},
      {"expect ID=1 NAME=two\n", false, "expected NAME=two, got one"},
      {"set ID=1 NAME=again\nadd\nexpect ORA-00001\n", true, ""},
      {"set ID=1 NAME=again\nadd\nexpect ORA-00001 state 4\n", false, "expected ORA-00001 state 4, got ORA-00001"},
      {"set ID=NULL\nadd\nexpect ORA-00001\n", false, "expected ORA-00001, got ORA-01400"},
      {"read first by ID\nexpect ORA-00001\n", false, "got no error"},
      {"set NO_SUCH_FIELD=1\nexpect 1\n", false, "expected 1, got 0"},
      {"no-such-command\n", false, "unknown command no-such-command"},
      // What the driver keeps of a closed connection or of a query's rows outlives the script's steps.
      {"disconnect\nexpect 1\n", true, "close connection HOSTTEST -> 1"},
      // A password in another case is another logon: the server refuses it rather than the driver sharing A's.
      {"connect HOSTTEST SYSTEM MANAGER\nexpect ORA-01017\n", true, ""},
      // A table whose name holds a quote keeps its keys and defaults.
      {"sql CREATE TABLE \"W'X\" (ID NUMBER(10) NOT NULL, N NUMBER(5) DEFAULT 7)\nsql CREATE UNIQUE INDEX WX_ID ON "
       "\"W'X\" (ID)\ndescribe \"W'X\"\nopen\nset ID=1\nadd\nread first by ID\nexpect N=7\n", true, ""},
      {"query Q SELECT ID, NAME FROM T\nread first\nexpect ID=1 NAME=one\n", true, ""},
      // A move that runs off an end is told as such; on a table never read, next starts at the first record.
      {"read next by ID\n", true, "past an end of the rows"},
      // Values filled in on a handle that read and added nothing are no record to move from: the walk starts at an end.
      {"describe T as TB\nopen\nset ID=0 NAME=x\nread previous by ID\nexpect ID=1\n", true, ""},
      {"set ID=2 NAME=two\nadd\ndescribe T as TB\nopen\nread next by ID\nexpect ID=1\nread next by ID\n"
       "read previous by ID\nexpect ID=1\n", true, ""},
      // Every numeric item reads as a number, a date as a date.
      {"sql CREATE TABLE V (F FLOAT, D NUMBER(8,2), W DATE)\n"
       "sql INSERT INTO V VALUES (2.5, 3.25, TO_DATE('2024-01-31 12:34:56', 'YYYY-MM-DD HH24:MI:SS'))\n"
       "query Q SELECT F, D, W FROM V\nread first\nexpect F=2.5 D=3.25 W=2024-01-31T12:34:56.000\n",
       true, ""},
      // Inside a transaction, a read counting from the first sees the transaction's own rows.
      {"set ID=2 NAME=two\nadd\nbegin\nset ID=3 NAME=three\nadd\nread record 3\nexpect ID=3\n", true, ""},
      // An add on a query given as SQL text is refused as such before it locks anything another session holds.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nread first lock\nwith HOSTTEST\n"
       "query Q SELECT ID, NAME FROM T\nread first\nset ID=2\nadd\nexpect 0\n",
       true, "the runtime is told: error 35"},
      // So are a delete and a write of its record (the text names no table to write in), the row left as it was.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nquery Q SELECT ID, NAME FROM T "
       "ORDER BY ID\nread first\ndelete\nexpect 0\nset NAME=x\nmodify\nexpect 0\nuse TB\nread first lock\nexpect NAME=one\n",
       true, "r\xC3\xA9sultat d'une requ\xC3\xAAte SQL.\nfill the record of Q: NAME=x -> 1 (done)\n"
             "write the changed record back to Q -> 0 (failed)\n    the runtime is told: error 35"},
      // Its record is locked in the one table the text reads (a server merges the wrapped text), not in one whose
      // rows the text merges.
      {"sql INSERT INTO T VALUES (2, 'two')\nsql COMMIT\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\n"
       "with HOSTTEST\nquery Q SELECT ID, NAME FROM T ORDER BY ID DESC\nread first lock\nexpect ID=2\nuse TB\n"
       "read last lock\nexpect ORA-00054\nread first lock\nexpect ID=1\nwith HOSTTEST\n"
       "query D SELECT DISTINCT NAME FROM T\nread first lock\nexpect ORA-02014\n",
       true, ""},
      // A write or a delete that reaches no row fails: another session deleted it, or held its lock.
      {"connect HOSTTEST SYSTEM manager as B\nsql DELETE FROM T\nsql COMMIT\nuse T\nset NAME=two\nmodify\nexpect 0\n",
       true, "the runtime is told: error 13, state 9"},
      {"connect HOSTTEST SYSTEM manager as B\nsql DELETE FROM T\nsql COMMIT\nuse T\ndelete\nexpect 0\n", true,
       "the runtime is told: error 13, state 9"},
      // Kept under a lock, such a write keeps no lock of the row, nor its session's hold on the writes of others.
      {"connect HOSTTEST SYSTEM manager as B\nsql DELETE FROM T\nsql COMMIT\nuse T\nset NAME=two\nmodify locked\n"
       "expect 0\nwith B\nsql INSERT INTO T VALUES (5, 'five')\nexpect 1\n",
       true, "the runtime is told: error 13, state 9"},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nread first lock\nuse T\nread first lock\n"
       "set NAME=two\nmodify\nexpect ORA-00054 state 1\nuse TB\nunlock\nread first\nexpect NAME=one\n",
       true, ""},
      // A write kept under its lock is committed by the release, found after the record was read again: another
      // session reads it at once, whatever failed under another lock meanwhile.
      {"set ID=2 NAME=two\nadd\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nuse T\n"
       "read first lock\nset NAME=uno\nmodify locked\nread next lock\nset ID=NULL\nmodify locked\nexpect 0\nunlock\n"
       "read first\nunlock\nuse TB\nread first\nexpect NAME=uno\n",
       true, ""},
      // A seek refused for its value leaves a query's rows read on from the record the context stood on.
      {"set ID=2 NAME=two\nadd\nset ID=3 NAME=three\nadd\nquery Q SELECT ID, NAME FROM T\nread first\nseek ID 2\n"
       "read next\nseek ID abc\nexpect 0\nread previous\nexpect ID=2\nread next\nexpect ID=3\n",
       true, ""},
      // A copy of a query's rows read through another key reads on from where the query stood, after a refused add
      // too, and leaves the query where it stood.
      {"connect HOSTTEST SYSTEM manager as B\nsql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\n"
       "sql COMMIT\nwith HOSTTEST\nquery Q SELECT ID, NAME FROM T\nread first by NAME\nread next by NAME\ncopy as C\n"
       "set ID=9\nadd\nexpect 0\nread next by NAME\nexpect ID=3\nuse Q\nread next by NAME\nexpect ID=3\nuse C\n"
       "read previous by NAME\nexpect ID=2\n",
       true, ""},
      // Read through the query's own key, the copy goes on past the rows the query had fetched when it was copied.
      {"connect HOSTTEST SYSTEM manager as B\nsql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\n"
       "sql COMMIT\nwith HOSTTEST\nquery Q SELECT ID, NAME FROM T ORDER BY ID\nread first\nread next\ncopy as C\n"
       "use Q\nread next\nexpect ID=3\nuse C\nread next\nexpect ID=3\nread previous\nexpect ID=2\n",
       true, ""},
      // The same rows given as a block that opens a cursor: the copy and the query read again run the block again.
      {"connect HOSTTEST SYSTEM manager as B\nsql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\n"
       "sql COMMIT\nwith HOSTTEST\nquery Q BEGIN OPEN :C%CURSOR FOR SELECT ID, NAME FROM T ORDER BY ID; END;\n"
       "read first\nread next\ncopy as C\nread next\nexpect ID=3\nuse Q\nread last\nread first\nexpect ID=1\n",
       true, ""},
      // A write kept under a lock stays when a later write under the same lock is refused; the lock is found by
      // the record's identity whatever was set since, or read again.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first lock\nset NAME=uno\nmodify locked\nset ID=NULL\nmodify locked\nexpect 0\nread first\n"
       "unlock\nuse TB\nread first lock\nexpect NAME=uno\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first\nset NAME=x\nlock\nread first\nunlock\nexpect 1\nuse TB\nread first lock\nexpect 1\n", true, ""},
      // A lock takes the row as it stands and keeps what the program changed: the write stores it.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first\nset NAME=x\n"
       "lock\nexpect NAME=x\nmodify\nuse TB\nread first\nexpect NAME=x\n", true, ""},
      // A read whose lock is refused leaves the record last shown current (one read through another key, one added),
      // and the write that follows reaches it.
      {"sql CREATE INDEX T_NAME ON T (NAME)\nsql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\n"
       "sql COMMIT\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nread last by ID lock\nwith HOSTTEST\n"
       "use T\nread first by NAME\nread next by ID\nread next by NAME lock\nexpect ID=2\nset NAME=zz\nmodify\n"
       "read first by NAME\nset ID=4 NAME=w\nadd\nread next by NAME lock\nexpect ID=4\nset NAME=y\nmodify\nuse TB\n"
       "unlock\nread first by ID\nexpect NAME=one\n"
       "read last by ID\nexpect ID=4 NAME=y\n", true, ""},
      // A key changed under a lock taken outside a transaction is written under that lock, whose release frees it.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first lock\n"
       "set ID=5\nmodify\nexpect 1\nuse TB\nread first lock\nexpect ID=5\n", true, ""},
      // A record written under its lock, read again after another one, is handed out as written.
      {"set ID=2 NAME=two\nadd\nread first lock\nset NAME=x\nmodify locked\nread next\nread first\n"
       "expect NAME=x\n", true, ""},
      // A count (a position per mille, the search for the key a write duplicated) leaves the record and its image:
      // the writes that follow store the changes and reach the record read, whose lock they release.
      {"set ID=2 NAME=two\nadd\nread first\nset NAME=zz\nposition\nmodify\nset ID=2\nmodify\nexpect ORA-00001\n"
       "set ID=8\nmodify\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nread first lock\n"
       "expect ID=2 NAME=two\nread last\nexpect ID=8 NAME=zz\n", true, ""},
      // A record added beside a write kept under another record's lock is committed at once: another session sees
      // it, before and after a write refused under the added record's own lock.
      {"read first lock\nset NAME=x\nmodify locked\nset ID=6 NAME=six\nadd\nexpect 1\n"
       "connect HOSTTEST SYSTEM manager as B\nquery Q SELECT COUNT(*) AS N FROM T WHERE ID = 6\nread first\n"
       "expect N=1\nwith HOSTTEST\nuse T\nset ID=NULL\nmodify locked\nexpect 0\nunlock\nwith B\n"
       "query Q2 SELECT COUNT(*) AS N FROM T WHERE ID = 6\nread first\nexpect N=1\n", true, ""},
      // A record whose key is NULL (a table without a primary key) is locked, written and deleted like any other.
      {"sql CREATE TABLE N (A NUMBER(10), NAME VARCHAR2(10))\nsql INSERT INTO N VALUES (NULL, 'one')\nsql COMMIT\n"
       "describe N\nopen\nread last\nset NAME=x\nmodify\nread last lock\nset NAME=y\nmodify locked\nunlock\n"
       "connect HOSTTEST SYSTEM manager as B\ndescribe N as NB\nopen\nread last lock\nexpect NAME=y\nunlock\n"
       "with HOSTTEST\nuse N\ndelete\nexpect 1\n", true, ""},
      // A record locked, committed with its transaction, is locked anew in the next one; one locked twice leaves
      // the next record free to lock.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nbegin\nread first lock\ncommit\nbegin\nread first lock\nuse TB\nread first lock\nexpect ORA-00054\n", true,
       ""},
      {"set ID=2 NAME=two\nadd\nread first lock\nlock\nread next lock\nexpect 1\n", true, ""},
      // A read with lock landing on a record its table holds keeps the work under that lock uncommitted.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first\n"
       "set ID=2 NAME=two\nadd\nset NAME=deux\nmodify locked\nread next lock\nexpect ID=2\nuse TB\nread last\n"
       "expect NAME=two\n",
       true, ""},
      // The last close of a connection releases its record locks (committing their writes) and rolls its
      // transaction back.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first lock\nset NAME=uno\nmodify locked\nbegin\nset ID=2 NAME=two\nadd\ndisconnect HOSTTEST\n"
       "use TB\nread first lock\nexpect NAME=uno\nset ID=2 NAME=deux\nadd\nexpect 1\n",
       true, ""},
      // A lock taken before a transaction, released or closed inside it, ends only its own work.
      {"set ID=2 NAME=two\nadd\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first lock\nbegin\nunlock\nread next\nset NAME=x\nmodify\nuse TB\n"
       "read last\nexpect NAME=two\nuse T\nrollback\nuse TB\nread last\nexpect NAME=two\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nread first lock\nset NAME=uno\nmodify locked\nbegin\nset ID=7 NAME=seven\nadd\nclose\nrollback\n"
       "use TB\nread first\nexpect NAME=uno\nread last\nexpect ID=1\n",
       true, ""},
      // An unlock of a table without a lock of its own ends no level; an inner rollback dooms the outer commit;
      // a commit naming no level ends none.
      {"begin\nset ID=2 NAME=two\nadd\nlock table 1\nunlock table\nunlock table\nrollback\nexpect 1\nread last\n"
       "expect ID=1\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nbegin\nset ID=3 NAME=three\nadd\nbegin\nset ID=2 NAME=two\nadd\nrollback\ncommit\nexpect 0\nuse TB\n"
       "read last\nexpect ID=1\n",
       true, "error 1045"},
      // DDL inside a transaction runs apart from it: the program's rollback still undoes the add before it.
      {"sql CREATE TABLE V (F NUMBER(5))\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\n"
       "use T\nbegin\nset ID=2 NAME=two\nadd\nsql DROP TABLE V\nexpect 1\nrollback\nuse TB\nread last\nexpect ID=1\n",
       true, ""},
      {"sql CREATE TABLE V (F NUMBER(5))\nconnect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\n"
       "use T\nbegin\nset ID=2 NAME=two\nadd\nsql ALTER TABLE V ADD (G NUMBER(5))\nexpect 1\nrollback\nuse TB\n"
       "read last\nexpect ID=1\n",
       true, ""},
      // A table lock refused inside a transaction undid no work of it: the commit stands.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nuse TB\nlock table 6\nuse T\nbegin\nlock table 6\nexpect ORA-00054\nuse TB\nunlock table\nuse T\n"
       "set ID=2 NAME=two\nadd\ncommit\nexpect 1\nuse TB\nread last\nexpect ID=2\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nbegin X\nset ID=2 NAME=two\nadd\ncommit Y\nexpect 0\ncommit X\nexpect 1\nuse TB\nread last\nexpect ID=2\n",
       true, ""},
      // A name that no open level bears ends none at any depth, nor undoes or dooms anything.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nbegin\nbegin\nset ID=2 NAME=two\nadd\ncommit Z\nexpect 0\nrollback Z\n"
       "expect 0\ncommit\nexpect 1\nrollback\nuse TB\nread last\nexpect ID=1\n",
       true, "error 9"},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nbegin X\nbegin\nset ID=2 NAME=two\nadd\nrollback\ncommit Z\nexpect 0\n"
       "set ID=3 NAME=three\nadd\ncommit X\nexpect 0\nuse TB\nread last\nexpect ID=1\n",
       true, "error 9"},
      // A table lock ends with the transaction that holds it, and its unlock ends only a level the lock began.
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nbegin\nlock table 6\nset ID=2 NAME=two\nadd\ncommit\nexpect 1\nclose\n"
       "disconnect HOSTTEST\nuse TB\nread last\nexpect ID=2\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nlock table 6\nbegin\nset ID=2 NAME=two\nadd\nrollback\nuse TB\nlock table 6\n"
       "expect 1\nunlock table\nread last\nexpect ID=1\nuse T\nunlock table\nexpect 1\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nlock table 6\nlock table 6\nclose\nopen\nlock table 1\nset ID=2 NAME=two\nadd\n"
       "unlock table\nuse TB\nlock table 6\nexpect 1\nread last\nexpect ID=2\n",
       true, ""},
      {"connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\nuse T\nlock table 6\ncommit\nbegin\nset ID=2 NAME=two\nadd\nunlock table\nrollback\n"
       "use TB\nread last\nexpect ID=1\n",
       true, ""},
      // A write or a delete through one table leaves a copy's unwritten values and its own walk alone; rows written
      // or deleted in a transaction rolled back are read again as the database holds them, and a value written again
      // after the rollback is stored.
      {"copy as C\nset ID=9 NAME=nine\nadd\nset NAME=zz\nuse T\nread first\nset NAME=uno\nmodify\nuse C\nmodify\n"
       "query Q SELECT NAME FROM T WHERE ID = 9\nread first\nexpect NAME=zz\n", true, ""},
      {"sql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\nsql COMMIT\ncopy as C\nread first\n"
       "read next\nuse T\nseek ID 3\ndelete\nuse C\nread previous\nread next\nexpect ID=2\n", true, ""},
      {"sql INSERT INTO T VALUES (2, 'two')\nsql INSERT INTO T VALUES (3, 'x')\nsql COMMIT\nread first\nread next\n"
       "begin\ndelete\nrollback\nread previous\nread next\nexpect ID=2\n", true, ""},
      {"sql INSERT INTO T VALUES (2, 'two')\nsql COMMIT\nread first\nread next\nbegin\nset NAME=x\nmodify\nrollback\n"
       "read previous\nread next\nexpect ID=2 NAME=two\n", true, ""},
      {"read first\nbegin\nset NAME=x\nmodify\nrollback\nset NAME=x\nmodify\nquery Q SELECT NAME FROM T WHERE ID = 1\n"
       "read first\nexpect NAME=x\n", true, ""},
      // Through a key with duplicates (NAME order: a 3, one 1, one 2, one 4), ties in ID order: a walk goes on past
      // the records added meanwhile, and a first move through it from a record another key reached moves from there.
      {"sql CREATE INDEX T_NAME ON T (NAME)\nsql INSERT INTO T VALUES (2, 'one')\nsql INSERT INTO T VALUES (3, 'a')\n"
       "sql INSERT INTO T VALUES (4, 'one')\nsql COMMIT\ndescribe T as TN\nopen\nread first by NAME\nset ID=11 NAME=z\n"
       "add\nread next by NAME\nexpect ID=1\nset ID=12 NAME=z\nadd\nread next by NAME\nexpect ID=2\n"
       "read next by NAME\nexpect ID=4\nread previous by NAME\nexpect ID=2\n"
       "describe T as TP\nopen\nread first by ID\nread next by ID\nread previous by NAME\nexpect ID=1\n"
       "describe T as TQ\nopen\nread first by ID\nread next by ID\nread next by NAME\nexpect ID=4\n"
       "describe T as TR\nopen\nseek ID 3\nread next by NAME\nexpect ID=1\nread next by NAME\nexpect ID=2\n",
       true, ""},
      // A copy of a context on the second or a later duplicate, or on a NULL key, goes on from that very record
      // (NAME order: a 2, one 1, one 3, one 5, z 4, NULL 6).
      {"sql CREATE INDEX T_NAME ON T (NAME)\nsql INSERT INTO T VALUES (2, 'a')\nsql INSERT INTO T VALUES (3, 'one')\n"
       "sql INSERT INTO T VALUES (4, 'z')\nsql INSERT INTO T VALUES (5, 'one')\nsql INSERT INTO T VALUES (6, NULL)\n"
       "sql COMMIT\ndescribe T as TN\nopen\nread first by NAME\nread next by NAME\nread next by NAME\ncopy as C\n"
       "read next by NAME\nexpect ID=5\nuse TN\ncopy as D\nread previous by NAME\nexpect ID=1\nuse TN\n"
       "read last by NAME\ncopy as E\nread previous by NAME\nexpect ID=4\nuse TN\ncopy as F\nread next by NAME\n"
       "expect 1\ndescribe T as TM\nopen\nread last by ID\nread previous by NAME\nexpect ID=4\n",
       true, ""},
      // A query's first move through a key starts at that key's end; a move through a context that never read goes
      // on from the record last read (ORDER BY ID DESC; NAME order with ties in the query's: a 2, one 3, one 1).
      {"sql INSERT INTO T VALUES (2, 'a')\nsql INSERT INTO T VALUES (3, 'one')\nsql COMMIT\n"
       "query Q SELECT ID, NAME FROM T ORDER BY ID DESC\nread next by NAME\nexpect ID=2\n"
       "query P SELECT ID, NAME FROM T ORDER BY ID DESC\nread previous by ID\nexpect ID=1\nread previous by NAME\n"
       "expect ID=3\nquery R SELECT ID, NAME FROM T ORDER BY ID DESC\nread previous by R\nexpect ID=1\n"
       "read record 2 by ID\nexpect ID=2\nread next by ID\nexpect ID=1\n",
       true, ""},
      // A read through a name the query's rows do not hold fails, as a seek through it does.
      {"query Q SELECT ID FROM T ORDER BY ID DESC\nread next by NAME\nexpect 0\nread record 1 by NAME\nexpect 0\n"
       "read first by Q\nexpect ID=1\n",
       true, "error 26, state 0 (no particular state), about NAME of Q"},
      // A query's seek lands among ties in the query's order, and a move through any key goes on from the current
      // record, after a seek that found nothing too (ORDER BY ID DESC; NAME order: a 2, one 4, one 3, one 1).
      {"sql INSERT INTO T VALUES (2, 'a')\nsql INSERT INTO T VALUES (3, 'one')\nsql INSERT INTO T VALUES (4, 'one')\n"
       "sql COMMIT\nquery Q SELECT ID, NAME FROM T ORDER BY ID DESC\nseek NAME one\nexpect ID=4\nread next by NAME\n"
       "expect ID=3\nread next by ID\nexpect ID=2\nread next by NAME\nexpect ID=4\nread next by ID\nexpect ID=3\n"
       "seek NAME z\nread next by ID\nexpect ID=2\n",
       true, "seek the first record of Q whose NAME is z -> 1 (done)\n    past an end of the rows"},
      // Before any record a move starts at the key's end; a record N past the last keeps the current record, whose
      // place another key's context tells; a position per mille counts the rows it moves through, not those
      // another session committed since (the same rows).
      {"sql INSERT INTO T VALUES (2, 'a')\nsql INSERT INTO T VALUES (3, 'one')\nsql INSERT INTO T VALUES (4, 'one')\n"
       "sql COMMIT\nquery Q SELECT ID, NAME FROM T ORDER BY ID DESC\nread next by NAME\nexpect ID=2\n"
       "read record 9 by NAME\nread next by ID\nexpect ID=1\nposition by NAME\nconnect HOSTTEST SYSTEM manager as B\n"
       "sql INSERT INTO T VALUES (5, 'b')\nsql COMMIT\nuse Q\nseek NAME one\nposition 1000 by NAME\nexpect ID=1\n",
       true, "the position of Q by NAME per mille -> 1 (done)\n    per mille: 1000"},
      // A query sorted down on its own key seeks down it: no equal ID lands on the next one down, none below the
      // last; before any record no context has a place, though a record N past the last read all the rows.
      {"sql INSERT INTO T VALUES (2, 'a')\nsql INSERT INTO T VALUES (4, 'b')\nsql COMMIT\n"
       "query Q SELECT ID, NAME FROM T ORDER BY ID DESC\nread record 9 by Q\nposition by ID\nexpect 0\nseek ID 3\n"
       "expect ID=2\nseek ID 5\nexpect ID=4\nseek ID 0\n",
       true, "seek the first record of Q whose ID is 0 -> 1 (done)\n    past an end of the rows"},
      // A position per mille counts the place among the rows it counts: another session's add, NULLs, a write.
      {"read first by ID\nconnect HOSTTEST SYSTEM manager as B\nsql INSERT INTO T VALUES (0, 'z')\nsql COMMIT\n"
       "use T\nposition by ID\n", true, "per mille: 1000"},
      {"sql CREATE INDEX T_NAME ON T (NAME)\nsql INSERT INTO T VALUES (2, NULL)\nsql INSERT INTO T VALUES (3, NULL)\n"
       "sql COMMIT\ndescribe T as TN\nopen\nread last by NAME\nset ID=4 NAME=a\nadd\nposition by NAME\n",
       true, "per mille: 1000"},
      {"sql CREATE INDEX T_NAME ON T (NAME)\nsql INSERT INTO T VALUES (2, 'b')\nsql INSERT INTO T VALUES (3, 'c')\n"
       "sql COMMIT\ndescribe T as TN\nopen\nread first by NAME\nset NAME=a\nmodify\nposition by NAME\n",
       true, "per mille: 334"},
      // A record N past the last keeps the current record, which a write writes; with none, a move starts at an end.
      {"set ID=2 NAME=two\nadd\nset ID=3 NAME=three\nadd\nread record 2 by ID\nread record 9 by ID\n"
       "expect ID=2 NAME=two\nset NAME=deux\nmodify\nexpect 1\nread last by ID\nexpect ID=3 NAME=three\n"
       "describe T as TN\nopen\nread record 9 by ID\nread previous by ID\nexpect ID=3\n", true, ""},
      // Run off an end from its own place after an add, a context keeps the added record current for what follows.
      {"sql CREATE INDEX T_NAME ON T (NAME)\nsql INSERT INTO T VALUES (2, 'two')\nsql COMMIT\ndescribe T as TN\nopen\n"
       "read last by NAME\nset ID=3 NAME=a\nadd\nread next by NAME\nexpect ID=3 NAME=a\nset NAME=b\nmodify\nexpect 1\n"
       "read previous by ID\nexpect ID=2\nread first by NAME\nexpect ID=3 NAME=b\n", true, "past an end"},
      // A column named by a reserved word, and a LOB whose name needs quotes, are read and written.
      {"sql CREATE TABLE R (ID NUMBER(10) NOT NULL, \"ORDER\" NUMBER(5), \"MY-NOTE\" CLOB)\n"
       "sql CREATE UNIQUE INDEX R_ID ON R (ID)\ndescribe R\nopen\nset ID=1 ORDER=7\nwrite-lob MY-NOTE 5000\nadd\n"
       "expect 1\nseek ID 1\nexpect ORDER=7\nread-lob MY-NOTE\nexpect 1\n",
       true, ""},
      // Columns the server holds in lower or mixed case, or under a pseudo-column's name, are named as it holds
      // them: added, sought, locked, written, deleted and read back from another session.
      {"sql CREATE TABLE R (ID NUMBER(10) NOT NULL, \"order\" NUMBER(5), \"LEVEL\" NUMBER(5), \"Mixed\" CHAR(1))\n"
       "sql CREATE UNIQUE INDEX R_ID ON R (ID)\nsql CREATE INDEX R_O ON R (\"order\")\ndescribe R\nopen\n"
       "set ID=1 order=7 LEVEL=3 Mixed=a\nadd\nset ID=2 order=5 LEVEL=4\nadd\nseek order 7\nexpect ID=1\n"
       "read first by order lock\nset Mixed=b\nmodify locked\nunlock\nconnect HOSTTEST SYSTEM manager as B\n"
       "describe R as RB\nopen\nread first by order\nexpect ID=2 LEVEL=4 Mixed=b\ndelete\nread first by order\n"
       "expect ID=1 LEVEL=3\n",
       true, ""},
      // A table named in lower case and created so (held in upper case) keeps its unique key, with its owner's name
      // too, and is sought, written and read back from another session.
      {"sql CREATE TABLE pl (ID NUMBER(10) NOT NULL, NAME VARCHAR2(10))\nsql CREATE UNIQUE INDEX PL_ID ON pl (ID)\n"
       "describe pl\nopen\nset ID=1 NAME=a\nadd\nset ID=2 NAME=b\nadd\nseek ID 2\nexpect NAME=b\nread first by ID\n"
       "set NAME=c\nmodify\nconnect HOSTTEST SYSTEM manager as B\ndescribe system.pl as PB\nopen\nread first by ID\n"
       "expect ID=1 NAME=c\n",
       true, "ID (integer, unique key), NAME (text of 11)\n    the script calls it PB"},
      // Columns whose names differ only in case are two items (the later one a2), each keyed and written as itself;
      // a table named with a sign of SQL's ("%") is reached quoted.
      {"sql CREATE TABLE C (ID NUMBER(10) NOT NULL, A NUMBER(5), \"a\" NUMBER(5))\nsql CREATE INDEX C_L ON C (\"a\")\n"
       "describe C\nopen\nset ID=1 A=7 a2=8\nadd\nset ID=2 A=9 a2=5\nadd\nread first by a2\nexpect ID=2\n"
       "query Q SELECT A, \"a\" AS L FROM C WHERE ID = 1\nread first\nexpect A=7 L=8\n",
       true, ""},
      {"sql CREATE TABLE \"T%1\" (ID NUMBER(10) NOT NULL)\nsql CREATE UNIQUE INDEX P_ID ON \"T%1\" (ID)\n"
       "describe system.T%1\nopen\nset ID=1\nadd\nexpect 1\nread first by ID\nexpect 1\n",
       true, ""},
      // A quoted name holding a period is one name, after its owner's too: it keeps its key and takes a record.
      {"sql CREATE TABLE \"T.X\" (ID NUMBER(10) NOT NULL)\nsql CREATE UNIQUE INDEX X_ID ON \"T.X\" (ID)\n"
       "describe SYSTEM.\"T.X\"\nopen\nset ID=1\nadd\nexpect 1\n",
       true, "SYSTEM.\"T.X\" on HOSTTEST -> 1 (done)\n    columns: ID (integer, unique key)"},
      {"sql CREATE TABLE \"T.X\" (ID NUMBER(10) PRIMARY KEY)\n"
       "sql CREATE TABLE K (A NUMBER(10) REFERENCES \"T.X\" (ID))\nlinks \"T.X\"\n", true, "1 links"},
      // Reals, currency and decimals are set from their text and shown as numbers; a refused value leaves its field.
      {"sql CREATE TABLE N (ID NUMBER(10) NOT NULL, F FLOAT, C NUMBER(8,2), D NUMBER(20))\n"
       "sql CREATE UNIQUE INDEX N_ID ON N (ID)\ndescribe N\nopen\nset ID=1 F=2.5 C=3.25 D=123456789012345\n"
       "add\nset C=3x\nexpect 0\nset D=x\nmodify\nread first by ID\nexpect F=2.5 C=3.25 D=123456789012345\n",
       true, ""},
      // A decimal item holds every value of its column's digits, both signs, read back by another connection; one
      // whole digit more is the conversion error and stores nothing.
      {"sql CREATE TABLE N (ID NUMBER(10) NOT NULL, A NUMBER(20), B NUMBER(15,2), C NUMBER(25,5), D NUMBER(38), "
       "E NUMBER(10,7), F NUMBER(9,8))\nsql CREATE UNIQUE INDEX N_ID ON N (ID)\ndescribe N\nopen\n"
       "set ID=1 A=99999999999999999999 B=9999999999999.99 C=99999999999999999999.99999 "
       "D=99999999999999999999999999999999999999 E=2.5 F=9.99999999\nadd\nset ID=2 A=-99999999999999999999 "
       "B=-9999999999999.99 C=-99999999999999999999.99999 D=-99999999999999999999999999999999999999 E=-999.9999999 "
       "F=-9.99999999\nadd\nset ID=3 A=100000000000000000000\nadd\nexpect 0\nconnect HOSTTEST SYSTEM manager as B\n"
       "describe N as NB\nopen\nread first by ID\nexpect A=99999999999999999999 B=9999999999999.99 "
       "C=99999999999999999999.99999 D=99999999999999999999999999999999999999 E=2.5000000 F=9.99999999\n"
       "read next by ID\nexpect A=-99999999999999999999 B=-9999999999999.99 C=-99999999999999999999.99999 "
       "D=-99999999999999999999999999999999999999 E=-999.9999999 F=-9.99999999\nset A=-1\nmodify\n"
       "use N\nread last by ID\nexpect ID=2 A=-1\nread next by ID\nexpect 1\n",
       true, "past an end"},
      // A seek at the top of an 8-byte integer key lands there, one past is refused: no value is cut to 4 bytes.
      {"sql CREATE TABLE K (ID NUMBER(19) NOT NULL)\nsql INSERT INTO K VALUES (0)\nsql INSERT INTO "
       "K VALUES (9223372036854775807)\nsql CREATE UNIQUE INDEX K_ID ON K (ID)\ndescribe K\nopen\nseek ID "
       "9223372036854775807\nexpect ID=9223372036854775807\nseek ID 9223372036854775808\nexpect 0\n", true, ""},
      // A year-month interval at an end of 64 bits of milliseconds is kept; past them it is the conversion error.
      {"sql CREATE TABLE Z (ID NUMBER(10) NOT NULL, YM INTERVAL YEAR(9) TO MONTH)\nsql CREATE UNIQUE INDEX Z_ID ON Z "
       "(ID)\ndescribe Z\nopen\nset ID=1 YM=-9223372036854775808\nadd\nsql INSERT INTO Z VALUES (2, INTERVAL "
       "'999999999-11' YEAR(9) TO MONTH)\nsql COMMIT\nconnect HOSTTEST SYSTEM manager as B\ndescribe Z as ZB\nopen\n"
       "read first by ID\nexpect YM=-9223372036224000000\nread next by ID\nexpect 0\n", true, "error 60"},
      // A script's text is UTF-8 to set and to seek alike.
      {"sql CREATE TABLE U (ID NUMBER(10) NOT NULL, NAME VARCHAR2(10))\nsql CREATE UNIQUE INDEX U_NAME ON U (NAME)\n"
       "describe U\nopen\nset ID=2 NAME=\xC3\xA9t\xC3\xA9\nadd\nseek NAME \xC3\xA9t\xC3\xA9\nexpect ID=2\n"
       "query Q SELECT ID FROM U WHERE NAME = '\xC3\xA9t\xC3\xA9'\nread first\nexpect ID=2\n",
       true, ""},
      // The catalog names an owner and a table each whole; a table's links are its own, not those of names alike.
      {"sql CREATE TABLE \"MY TABLE.X\" (A NUMBER)\ncatalog 21\n", true, "SYSTEM.\"MY TABLE.X\"\n"},
      {"sql CREATE TABLE T_1 (ID NUMBER(10) PRIMARY KEY)\nsql CREATE TABLE T11 (ID NUMBER(10) PRIMARY KEY)\n"
       "sql CREATE TABLE K (ID NUMBER(10), A NUMBER(10) REFERENCES T11 (ID))\nlinks T_1\n",
       true, "0 links"},
      {"sql CREATE TABLE T11 (ID NUMBER(10) PRIMARY KEY)\n"
       "sql CREATE TABLE K (ID NUMBER(10), A NUMBER(10) REFERENCES T11 (ID))\nlinks system.t11\n",
       true, "1 links"},
      // A negative scale adds whole digits: an 18-digit integer of NUMBER(12,-6) reads whole.
      {"sql CREATE TABLE N (ID NUMBER(10), N NUMBER(12,-6))\nsql INSERT INTO N VALUES (1, 999999999999000000)\n"
       "query Q SELECT ID, N FROM N\nread first\nexpect ID=1 N=999999999999000000\n",
       true, ""},
      // An empty BLOB is stored empty through add and modify, not as one zero byte.
      {"sql CREATE TABLE B (ID NUMBER(10) NOT NULL, V BLOB)\nsql CREATE UNIQUE INDEX B_ID ON B (ID)\ndescribe B\nopen\n"
       "set ID=1\nwrite-lob V 0\nadd\nset ID=2\nwrite-lob V 3\nadd\nwrite-lob V 0\nmodify\n"
       "query Q SELECT SUM(LENGTH(V)) AS L FROM B\nread first\nexpect L=0\n",
       true, ""},
      // The pieces of a LONG go to the column the client names: a NULL LONG before it takes none of them.
      {"sql CREATE TABLE L1 (ID NUMBER(10) NOT NULL, A LONG)\nsql CREATE TABLE L2 (ID NUMBER(10) NOT NULL, B LONG)\n"
       "sql CREATE UNIQUE INDEX L2_ID ON L2 (ID)\nsql INSERT INTO L1 VALUES (1, NULL)\ndescribe L2\nopen\nset ID=1\n"
       "write-lob B 30\nadd\nquery Q SELECT L1.ID, A, B FROM L1, L2\nread first\nread-lob A\nread-lob B\nexpect 1\n",
       true, "read A of Q's current record -> 1 (done)\n    no value"},
      // The same through the OCI7 set, chosen by the configuration file in the Windows directory.
      {"sql CREATE TABLE L1 (ID NUMBER(10) NOT NULL, A LONG)\nsql CREATE TABLE L2 (ID NUMBER(10) NOT NULL, B LONG)\n"
       "sql CREATE UNIQUE INDEX L2_ID ON L2 (ID)\nsql INSERT INTO L1 VALUES (1, NULL)\ndescribe L2\nopen\nset ID=1\n"
       "write-lob B 30\nadd\nquery Q SELECT L1.ID, A, B FROM L1, L2\nread first\nread-lob A\nread-lob B\nexpect 1\n",
       true, "read A of Q's current record -> 1 (done)\n    no value",
       "d=${TMPDIR:-/tmp}/qzhost_oci7 && mkdir -p $d && printf '[OPTIONS]\\nLOADORACLE8CLIENT=0\\n' >$d/qzorains.ini && "
       "QZ_WINDOWS_DIR=$d"},
      // A LONG's text read and written whole through a client without a UTF-16 environment (speaking UTF-8).
      {"sql CREATE TABLE L (ID NUMBER(10) NOT NULL, V LONG)\nsql INSERT INTO L VALUES (1, RPAD('\xC3\xA9', 20001, "
       "'\xE2\x82\xAC'))\nsql CREATE UNIQUE INDEX L_ID ON L (ID)\ndescribe L\nopen\nread first\nread-lob V\nset ID=2\n"
       "add\nquery Q SELECT LENGTH(V) AS N, SUBSTR(V, 20000, 2) AS S FROM L WHERE ID = 2\nread first\nexpect N=20001 "
       "S=\xE2\x82\xAC\xE2\x82\xAC\n", true, "20001 characters", "QZOCI_HIDDEN_ENTRIES=OCIEnvNlsCreate NLS_LANG=AMERICAN_AMERICA.AL32UTF8"},
      // A CLOB's text crosses whole through a client whose environment speaks UTF-8 (no UTF-16 environment).
      {"sql CREATE TABLE C (ID NUMBER(10) NOT NULL, V CLOB)\nsql INSERT INTO C VALUES (1, 'h\xC3\xA9llo w\xC3\xB6rld')\n"
       "sql CREATE UNIQUE INDEX C_ID ON C (ID)\ndescribe C\nopen\nread first\nread-lob V\nset ID=2\nadd\nquery Q SELECT "
       "LENGTH(V) AS N, INSTR(V, 'w\xC3\xB6rld') AS P FROM C WHERE ID = 2\nread first\nexpect N=11 P=7\n", true, "",
       "QZOCI_HIDDEN_ENTRIES=OCIEnvNlsCreate NLS_LANG=AMERICAN_AMERICA.AL32UTF8"},
      // Records added one after another keep each its own large values, a NULL one too.
      {"sql CREATE TABLE X (ID NUMBER(10) NOT NULL, C CLOB, N NCLOB, B BLOB)\nsql CREATE UNIQUE INDEX X_ID ON X (ID)\n"
       "describe X\nopen\nset ID=1\nwrite-lob C 300\nwrite-lob N 20\nadd\nset ID=2\nwrite-lob C 10\nwrite-lob N 5\nadd\n"
       "query Q SELECT LENGTH(C) AS LC, LENGTH(N) AS LN, LENGTH(B) AS LB FROM X WHERE ID = 2\nread first\n"
       "expect LC=10 LN=5 LB=NULL\n", true, ""},
      // A write leaves the large values it did not change alone: another session's CLOB, a text no 8-bit item holds.
      {"sql CREATE TABLE X (ID NUMBER(10) NOT NULL, QTY NUMBER(10), C CLOB)\nsql CREATE UNIQUE INDEX X_ID ON X (ID)\n"
       "sql INSERT INTO X VALUES (4, 1, NULL)\nsql INSERT INTO X VALUES (5, 1, 'a\xCE\xA9\xE2\x82\xAC')\nsql COMMIT\n"
       "describe X\nopen\nread first by ID\nconnect HOSTTEST SYSTEM manager as B\ndescribe X as XB\nopen\nread first by ID\n"
       "write-lob C 2600\nmodify\nuse X\nset QTY=2\nmodify\nread next by ID\nset QTY=2\nmodify\nquery Q SELECT "
       "SUM(LENGTH(C)) AS L, SUM(INSTR(C, '\xCE\xA9')) AS P FROM X\nread first\nexpect L=2603 P=2\n", true, ""},
      // A catalog default of every kind is the new record's, a date too; a record just deleted, written back
      // unchanged, is back in the table.
      {"sql CREATE TABLE D (ID NUMBER(10) NOT NULL, N NUMBER(5) DEFAULT 7, S VARCHAR2(10) DEFAULT 'abc', W DATE DEFAULT "
       "'2024-01-31')\ndescribe D\nopen\nset ID=1\nadd\nread first\nexpect N=7 S=abc W=2024-01-31T00:00:00.000\n", true, ""},
      {"read first\ndelete\nmodify\nquery Q SELECT COUNT(*) AS N FROM T\nread first\nexpect N=1\n", true, ""},
      // A large value replaced through a record write is stored: another session reads the new one.
      {"sql CREATE TABLE L (ID NUMBER(10) NOT NULL, V LONG)\nsql CREATE UNIQUE INDEX L_ID ON L (ID)\ndescribe L\nopen\n"
       "set ID=1\nwrite-lob V 10\nadd\nwrite-lob V 20\nmodify\nconnect HOSTTEST SYSTEM manager as B\n"
       "describe L as LB\nopen\nread first\nread-lob V\nexpect 1\n",
       true, "20 characters, the same as written"},
      // Through a composite key, the moves after a seek given its first component alone reach every record of it;
      // a unique one that allows NULL orders its rows NULL in both the same way in every statement, and a record's
      // place per mille among them is its own.
      {"sql CREATE TABLE G (ID NUMBER(10) NOT NULL, GRP NUMBER(5), NAME VARCHAR2(10))\nsql CREATE UNIQUE INDEX G_ID "
       "ON G (ID)\nsql CREATE INDEX G_GN ON G (GRP, NAME)\nsql INSERT INTO G VALUES (1, 1, 'x')\nsql INSERT INTO G "
       "VALUES (2, 2, 'a')\nsql INSERT INTO G VALUES (3, 2, 'b')\nsql INSERT INTO G VALUES (4, 2, NULL)\nsql COMMIT\n"
       "describe G\nopen\nseek G_GN 2\nexpect ID=4\nread previous by G_GN\nexpect ID=3\n",
       true, ""},
      {UNIQUE_PAIR "read record 2 by ID\nread next by U_AB\nexpect ID=6\nread next by U_AB\nexpect ID=7\n", true, ""},
      {UNIQUE_PAIR "read record 1 by ID\nread next by U_AB\nexpect ID=5\n", true, ""},
      {UNIQUE_PAIR "read first by U_AB\nread next by U_AB\nread next by U_AB\nexpect ID=6\nposition by U_AB\n", true,
       "per mille: 750"},
  };
#undef UNIQUE_PAIR
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps);
    const HostRun run = RunScript(std::string(kTable) + c.steps + "stop\n", c.environment);
    EXPECT_EQ(run.status == 0, c.holds) << run.output;
    EXPECT_NE(run.output.find(c.holds ? "\ndone\n" : "\nstopped\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.shown), std::string::npos) << run.output;
  }
}

// Record locks of connection A against B, on record 2 (QTY 2): each sequence reads, then locks with the step
// marked by '|'; it runs as it stands, with B changing the row between A's read and A's lock, and with B deleting
// it there. Locked, A is shown the row as it stands, writes it under its lock over B's change, and B's own lock
// waits for A's release; a row deleted meanwhile fails the lock as a record not found and leaves no lock behind.
TEST(QzhostScript, ARecordLockHoldsTheRowAsItStandsOnceLocked) {
  const std::string table =
      "start\nconnect HOSTTEST SYSTEM manager\n"
      "sql CREATE TABLE T (ID NUMBER(10) NOT NULL, NAME VARCHAR2(10), QTY NUMBER(10))\n"
      "sql CREATE UNIQUE INDEX T_ID ON T (ID)\nsql INSERT INTO T VALUES (1, 'one', 1)\n"
      "sql INSERT INTO T VALUES (2, 'two', 2)\nsql INSERT INTO T VALUES (3, 'three', 3)\nsql COMMIT\n"
      "connect HOSTTEST SYSTEM manager as B\ndescribe T as TB\nopen\nwith HOSTTEST\ndescribe T\nopen\n";
  struct Sequence {
    const char* steps;
    bool deletable;  // whether the row may go before the lock (else the sequence meets another record)
  };
  const Sequence sequences[] = {
      {"read first|read next lock", true},
      {"read record 2|lock", true},
      {"read record 2\nset NAME=x|lock", true},
      {"read first\nseek ID 99\nread first|read next lock", true},
      // A lock refused, then asked again (after a seek that found nothing), is refused again while B holds the row.
      {"read first|use TB\nread record 2\nlock\nuse T\nseek ID 99\nread next lock\nexpect ORA-00054\nread next lock\n"
       "expect ORA-00054\nuse TB\nunlock\nuse T\nread next lock",
       false},
      // After two writes kept under the lock of record 1, the move onto record 2 locks it too.
      {"read first lock|use TB\nread record 2\nlock\nuse T\nset NAME=a\nmodify locked\nset NAME=b\nmodify locked\n"
       "read next lock\nexpect ORA-00054\nuse TB\nunlock\nuse T\nread next lock\nread previous lock\nunlock\n"
       "read next lock",
       false},
  };
  struct Variant {
    const char* between;  // B's step between A's read and A's lock
    const char* quantity;
  };
  const Variant variants[] = {
      {"", "2"},
      {"with B\nsql UPDATE T SET QTY=QTY+10 WHERE ID=2\nsql COMMIT\nwith HOSTTEST\nuse T\n", "12"},
      {"with B\nsql DELETE FROM T WHERE ID=2\nsql COMMIT\nwith HOSTTEST\nuse T\n", nullptr},
  };
  for (const Sequence& sequence : sequences) {
    const std::string steps = sequence.steps;
    const std::size_t mark = steps.find('|');
    for (const Variant& v : variants) {
      if (!v.quantity && !sequence.deletable) continue;
      std::string script = table + steps.substr(0, mark) + "\n" + v.between + steps.substr(mark + 1) + "\n";
      if (v.quantity) {
        script += std::string("expect ID=2 QTY=") + v.quantity + "\nuse TB\nread record 2\nlock\nexpect ORA-00054\n"
                  "use T\nset QTY=99\nmodify locked\nread record 2\nunlock\nexpect 1\nuse TB\nread record 2\nlock\n"
                  "expect QTY=99\n";
      } else {
        // Refused as a record not found; no lock is left for B's own lock of record 3 to meet either.
        script += "expect 0\nuse TB\nread last lock\nexpect ID=3\n";
      }
      SCOPED_TRACE(script);
      const HostRun run = RunScript(script + "stop\n");
      EXPECT_EQ(run.status, 0) << run.output;
      EXPECT_EQ(run.output.find("error 13, state 9") != std::string::npos, !v.quantity) << run.output;
    }
  }
}

}  // namespace
