SELECT [a]]'] ; DROP TABLE t --' , `b'` , "c;" FROM t -- ;x
; SELECT $tag$ ; $$ ; $tag$