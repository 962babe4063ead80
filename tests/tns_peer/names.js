// names.js: the names Oracle's own parser (node-oracledb's thin mode) lists
// for the tnsnames.ora in each folder given, a line per folder as tns_names
// prints them; a file it refuses gives "error" and the reason. Run in each
// folder, because the parser takes an included file's path from there.
'use strict';
const oracledb = require('oracledb');
const path = require('path');

(async () => {
  const start = process.cwd();
  for (const dir of process.argv.slice(2)) {
    process.chdir(path.resolve(start, dir));
    let line = dir + ':';
    try {
      for (const name of await oracledb.getNetworkServiceNames('.')) line += ' ' + name;
    } catch (e) {
      line += ' error ' + String(e.message).split('\n')[0].replace(/[^\x20-\x7e]/g, '?');
    }
    console.log(line);
  }
})();
